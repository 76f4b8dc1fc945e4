#pragma once
// The rtnetlink requests themselves, with no choice of who sends them: the
// program calls them when it holds CAP_NET_ADMIN, vantrel-nethelper otherwise.
#include <linux/netlink.h>
#include <netinet/in.h>

#include <cstdint>

namespace platform::netlink {

// Sends one rtnetlink request (its nlmsg_len bytes) and waits for the
// kernel's acknowledgement. Returns 0, or the errno the kernel answered.
int Transact(nlmsghdr& request);

// Creates `destination`/`prefixLength` (scope link, main table, the program's
// protocol number, metric `holder`: the id of the process that holds it) out
// of link `linkIndex` with preferred source `source`; never replaces a route:
// EEXIST when the same one is there.
// Returns 0, or the errno the kernel answered (EPERM without CAP_NET_ADMIN).
int AddLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex, in_addr source, uint32_t holder);

// Removes the route `destination`/`prefixLength` through `linkIndex` if it
// carries the program's protocol number (the kernel matches it); 0 or an errno.
int DeleteLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex);

}  // namespace platform::netlink
