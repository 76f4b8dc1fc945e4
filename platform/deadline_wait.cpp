#include "deadline_wait.h"

#include <cerrno>
#include <climits>

namespace platform {

int MsLeft(WaitClock::time_point deadline) {
    const auto now = WaitClock::now();
    if (deadline <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left < INT_MAX ? static_cast<int>(left) : INT_MAX;
}

Waited WaitAny(pollfd* fds, nfds_t count, WaitClock::time_point deadline) {
    for (;;) {
        const int ready = poll(fds, count, MsLeft(deadline));
        if (ready > 0) return Waited::Ready;
        if (ready < 0 && errno != EINTR) return Waited::Failed;
        // poll may wake a little early on a coarse clock; a signal wakes it any time.
        if (ready == 0 && MsLeft(deadline) == 0) return Waited::TimedOut;
    }
}

Waited WaitReadable(int fd, WaitClock::time_point deadline, short events) {
    pollfd waiting{fd, events, 0};
    return WaitAny(&waiting, 1, deadline);
}

}  // namespace platform
