#include "interrupt_watch.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "exit_signals.h"

InterruptWatch::InterruptWatch() {
    const sigset_t set = platform::ExitSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previous);
}

InterruptWatch::~InterruptWatch() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

bool InterruptWatch::Interrupted() { return WaitFor(std::chrono::milliseconds(0)); }

bool InterruptWatch::WaitFor(std::chrono::milliseconds span) {
    if (seen != 0) return true;
    const sigset_t set = platform::ExitSignals();
    const auto end = std::chrono::steady_clock::now() + span;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(end - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero()));
        const timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                               static_cast<long>(left.count() % 1000000000)};
        const int signal = sigtimedwait(&set, nullptr, &timeout);
        if (signal > 0) {
            seen = signal;
            return true;
        }
        if (errno == EAGAIN) return false;  // the span is over
        // EINTR: another signal's handler ran; wait on for the rest.
    }
}
