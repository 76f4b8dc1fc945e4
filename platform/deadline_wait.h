#pragma once
// Waits bounded by a deadline on the steady clock. poll takes whole
// milliseconds: the time left is rounded up, so a wait never ends before its
// deadline, and a signal's EINTR resumes the wait with the time then left.
#include <poll.h>

#include <chrono>

namespace platform {

using WaitClock = std::chrono::steady_clock;

// Milliseconds until `deadline`, rounded up; 0 once it has passed.
int MsLeft(WaitClock::time_point deadline);

enum class Waited { Ready, TimedOut, Failed };

// Waits until one of `fds` has an event (their revents tell which) or the
// deadline passes. A deadline already passed still looks once without blocking.
// With no descriptors it only waits out the time.
Waited WaitAny(pollfd* fds, nfds_t count, WaitClock::time_point deadline);

// The same for one descriptor: readable, or an error or hang-up to collect.
Waited WaitReadable(int fd, WaitClock::time_point deadline, short events = POLLIN);

}  // namespace platform
