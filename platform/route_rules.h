#pragma once
// What the program may do to the PC's routing table, whoever carries it out:
// the program itself when it holds CAP_NET_ADMIN, vantrel-nethelper for
// everyone else. Pure: judged against a RouteView read just before.
//
// - A host route only toward a private or link-local address that no other
//   link's subnet holds, that no route of another link leads to (an office
//   network behind a router, a VPN's) and that no route uses as its gateway,
//   and only where the table has no /32 for it yet ("exists": the PC's own
//   route is used).
// - 169.254.0.0/16 only while the main table has no route for it.
// - Deletions only of routes that carry the program's own protocol number.
#include <netinet/in.h>

#include <string>

#include "route_table.h"

namespace platform {

// rtm_protocol of every route the program adds (`ip route show proto 163`);
// unused by the kernel and by the routing daemons iproute2 knows.
inline constexpr unsigned char kRouteProtocol = 163;

struct RouteVerdict {
    enum Kind { Allowed, Exists, Refused } kind = Refused;
    std::string reason;  // Refused: why, one line of plain text
};

RouteVerdict JudgeAddHostRoute(in_addr destination, unsigned linkIndex, const RouteView& view);
RouteVerdict JudgeAddLinkLocalRoute(unsigned linkIndex, const RouteView& view);
// A route of ours to `destination`/`prefixLength` through the link, or the
// reason it may not be deleted. No such route at all is Allowed: the kernel
// then answers ESRCH.
RouteVerdict JudgeDeleteRoute(in_addr destination, int prefixLength, unsigned linkIndex, const RouteView& view);

// 169.254.0.0
in_addr LinkLocalNetwork();

}  // namespace platform
