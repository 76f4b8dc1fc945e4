#pragma once
// The rtnetlink requests themselves, with no choice of who sends them: the
// program calls them when it holds CAP_NET_ADMIN, vantrel-nethelper otherwise.
#include <netinet/in.h>

namespace platform::netlink {

// Adds `destination`/`prefixLength` (scope link, main table) out of link
// `linkIndex` with preferred source `source`. With `replace` false an existing
// route of another link stays and an identical route counts as added.
// Returns 0, or the errno the kernel answered (EPERM without CAP_NET_ADMIN).
int AddLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex, in_addr source, bool replace);

// Removes the route `destination`/`prefixLength` through `linkIndex`, if it is
// one of the kind AddLinkRoute adds (static, scope link); 0 or an errno.
int DeleteLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex);

// 169.254.0.0/16, the link-local network.
in_addr LinkLocalNetwork();

}  // namespace platform::netlink
