#pragma once
// This host's IPv4 addresses changed over rtnetlink: how a camera played
// here takes the address it is given (--take-addresses).

#include "camera.h"

namespace camsim {

// Adds addr/prefixLength to link `ifindex`. Returns 0, or the kernel's errno
// (EEXIST when the link holds it already).
int AddLinkAddress(unsigned ifindex, const Ipv4& addr, int prefixLength);

// Removes addr from link `ifindex`, whatever its prefix length. Returns 0 or
// the kernel's errno.
int RemoveLinkAddress(unsigned ifindex, const Ipv4& addr);

// Makes the link keep its other addresses in a subnet when the first one
// goes (promote_secondaries), where the kernel would drop them all.
// Returns 0 or the kernel's errno.
int KeepSecondaries(unsigned ifindex);

}  // namespace camsim
