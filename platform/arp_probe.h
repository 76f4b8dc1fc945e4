#pragma once
// The ARP probe itself, with no choice of who sends it: the program calls it
// when it holds CAP_NET_RAW, vantrel-nethelper otherwise.
#include <vector>

#include "address_probe.h"

namespace platform {

// RFC 5227 probes (sender 0.0.0.0) for each of `addresses` on every ARP link,
// all sent together and waited for once, for at most about a second. Returns
// 0 with one answer per address in `answers`, in their order, or the errno of
// the packet socket (EPERM without CAP_NET_RAW) with `answers` untouched.
int ArpProbe(const std::vector<in_addr>& addresses, std::vector<ProbeAnswer>& answers);

}  // namespace platform
