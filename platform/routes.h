#pragma once
// The routes the program adds to the PC's table, and the only way it adds
// them: every change passes the route rules (route_rules.h), is made by the
// program itself when it holds CAP_NET_ADMIN or by vantrel-nethelper, and is
// marked as held by this process (route_holder.h) until it is released, at
// the latest when the program ends. Never a shell, never text from the network.
#include <netinet/in.h>

#include <string>

namespace platform {

struct RouteOutcome {
    enum Kind { Added, Exists, Refused, Failed } kind = Failed;
    int error = 0;       // Failed: the errno (EPERM: neither the program nor the helper may)
    std::string reason;  // Refused: why, plain text
};

// A /32 to `destination` out of link `linkIndex`, preferred source `source`.
// Exists: the PC has a /32 for it already; that route is used as it is, and
// nothing is held or removed later.
RouteOutcome AddHostRoute(in_addr destination, unsigned linkIndex, in_addr source);

// Removes the /32 that AddHostRoute added; nothing when it added none.
void ReleaseHostRoute(in_addr destination, unsigned linkIndex);

// 169.254.0.0/16 out of the link, so that link-local cameras that answered
// there are reached there; Exists when the table has a route for it already.
RouteOutcome AddLinkLocalRoute(unsigned linkIndex, in_addr source);

// Removes every route this process holds. The front ends call it when they end.
void ReleaseAllRoutes();

// Removes every route this process holds and ends it with `status`, holding
// the routes' lock to the end so that no other thread adds one meanwhile
// (exit_signals.h, on SIGINT, SIGTERM and SIGHUP).
[[noreturn]] void EndWithoutRoutes(int status);

// "added", "exists", "refused: REASON" or the errno's text, for messages.
std::string DescribeRouteOutcome(const RouteOutcome& outcome);

}  // namespace platform
