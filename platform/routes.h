#pragma once
// The one place that changes the PC's routing table: rtnetlink requests,
// never a shell and never text from the network.
#include <netinet/in.h>

namespace platform {

// Adds `destination`/`prefixLength` (scope link, main table) out of link
// `linkIndex` with preferred source `source`. With `replace` false an existing
// route of another link stays and an identical route counts as added.
// Returns 0, or the errno the kernel answered (EPERM without CAP_NET_ADMIN).
int AddLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex, in_addr source, bool replace);

// Removes the route `destination`/`prefixLength` through `linkIndex`; 0 or an errno.
int DeleteLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex);

// 169.254.0.0/16 through the link, so that link-local cameras that answered
// there are reached there.
int AddLinkLocalRoute(unsigned linkIndex, in_addr source);

}  // namespace platform
