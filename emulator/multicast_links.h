#pragma once
// The links a multicast service can use: up, multicast-capable and carrying
// an IPv4 address.

#include "local_addresses.h"

#include <vector>

namespace camsim {

// Their interface indexes, in index order.
std::vector<unsigned> multicastLinks(const std::vector<LocalAddress>& local);

}  // namespace camsim
