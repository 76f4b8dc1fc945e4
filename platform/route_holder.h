#pragma once
// How a running Vantrel marks the routes it added: for each, it keeps a
// listening abstract Unix socket named "vantrel-route A.B.C.D/N IFINDEX" in
// the network namespace the route lives in (`ss -xl | grep vantrel-route`).
// The kernel removes the name with its process, however that ends, so a
// route of the program's protocol without its socket was left by one that
// was killed, and the next run removes it.
#include <netinet/in.h>
#include <sys/types.h>

namespace platform {

// Takes the mark; the descriptor is the mark. -1 when it cannot be taken
// (errno EADDRINUSE: another process holds this route).
int HoldRoute(in_addr destination, int prefixLength, unsigned linkIndex);

// True when a process holds the route; `holder` is then its user id.
bool RouteHeld(in_addr destination, int prefixLength, unsigned linkIndex, uid_t& holder);

}  // namespace platform
