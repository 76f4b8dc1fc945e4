#pragma once
// The ARP probe itself, with no choice of who sends it: the program calls it
// when it holds CAP_NET_RAW, vantrel-nethelper otherwise.
#include "address_probe.h"

namespace platform {

// RFC 5227 probes (sender 0.0.0.0) for `address` on every ARP link, for at
// most about a second. Returns 0 with `answer` filled, or the errno of the
// packet socket (EPERM without CAP_NET_RAW) with `answer` untouched.
int ArpProbe(in_addr address, ProbeAnswer& answer);

}  // namespace platform
