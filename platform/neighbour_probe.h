#pragma once
// The duplicate-address probe without CAP_NET_RAW: the kernel resolves the
// address on the link its route picks, and its neighbour table tells who answered.
#include "address_probe.h"

namespace platform {

// At most about 3.5 s; at once when no route leads to a link.
ProbeAnswer ProbeByKernelNeighbour(in_addr address);

}  // namespace platform
