#pragma once
// How a running Vantrel marks the routes it added: each carries, as its
// metric, the id of the process that holds it (the program itself, never a
// number it was handed: vantrel-nethelper writes its parent's). Only
// CAP_NET_ADMIN writes routes, so no other user can forge the mark. A route
// of the program's protocol whose process no longer runs was left by a run
// that was killed, and the next run removes it.
#include <sys/types.h>

#include <cstdint>

namespace platform {

// True when process `holder` runs (in this PID namespace); `user` is then
// its user id, or (uid_t)-1 when that cannot be read.
bool HolderRuns(uint32_t holder, uid_t& user);

}  // namespace platform
