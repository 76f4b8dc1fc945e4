#include "interrupt_watch.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace {

sigset_t OnlyInterrupt() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

InterruptWatch::InterruptWatch() {
    const sigset_t set = OnlyInterrupt();
    pthread_sigmask(SIG_BLOCK, &set, &previous);
}

InterruptWatch::~InterruptWatch() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

bool InterruptWatch::Interrupted() { return WaitFor(std::chrono::milliseconds(0)); }

bool InterruptWatch::WaitFor(std::chrono::milliseconds span) {
    if (seen) return true;
    const sigset_t set = OnlyInterrupt();
    const auto end = std::chrono::steady_clock::now() + span;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(end - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero()));
        const timespec timeout{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
        if (sigtimedwait(&set, nullptr, &timeout) == SIGINT) return seen = true;
        if (errno == EAGAIN) return false;  // the span is over
        // EINTR: another signal's handler ran; wait on for the rest.
    }
}
