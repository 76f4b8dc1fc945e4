#include "event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace camsim {

void EventLoop::watch(int fd, Handler onReadable) {
    watches_.push_back({fd, std::move(onReadable)});
}

EventLoop::End EventLoop::run(Clock::time_point deadline) {
    std::vector<pollfd> fds;
    for (const Watch& w : watches_) fds.push_back({w.fd, POLLIN, 0});

    while (!stopped_) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return End::DeadlineReached;
        // Round up so the loop does not wake just before the deadline and spin.
        int timeoutMs = static_cast<int>(std::min<decltype(left)>(left + 1, 60'000));
        int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return End::PollFailed;
        }
        for (std::size_t i = 0; i < fds.size() && !stopped_; ++i) {
            if (fds[i].revents != 0) watches_[i].onReadable();
        }
    }
    return End::Stopped;
}

}  // namespace camsim
