#include "event_loop.h"

#include "deadline_wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace camsim {

int Complain(int code, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("vantrel-camsim: ", stderr);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    return code;
}

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void EventLoop::Watch(int fd, Handler onReadable) { watches_.push_back({fd, std::move(onReadable)}); }

void EventLoop::At(Clock::time_point when, Handler onDue) {
    // A multimap keeps equal keys in insertion order.
    timers_.emplace(when, std::move(onDue));
}

void EventLoop::RunDueTimers() {
    const auto now = Clock::now();
    // Only timers due now: one that a handler sets for now runs on the next turn.
    while (!stopped_ && !timers_.empty() && timers_.begin()->first <= now) {
        Handler due = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        due();
    }
}

bool EventLoop::Run(Clock::time_point deadline) {
    std::vector<pollfd> fds;
    for (const Watched& w : watches_) fds.push_back({w.fd, POLLIN, 0});
    while (!stopped_) {
        RunDueTimers();
        if (stopped_) break;
        if (Clock::now() >= deadline) return true;
        const auto wakeAt = timers_.empty() ? deadline : std::min(deadline, timers_.begin()->first);
        if (platform::WaitAny(fds.data(), fds.size(), wakeAt) == platform::Waited::Failed) return false;
        for (std::size_t i = 0; i < fds.size() && !stopped_; ++i) {
            if (fds[i].revents != 0) watches_[i].onReadable();
        }
    }
    return true;
}

}  // namespace camsim
