#pragma once
// This host's IPv4 addresses, from platform's interface list, and the links
// a multicast service can use.

#include "camera.h"

#include "ipv4_interfaces.h"

#include <optional>
#include <vector>

namespace camsim {

using LocalAddresses = std::vector<platform::Ipv4Interface>;

// Every IPv4 address of this host with its link, or nothing when the
// interfaces cannot be read.
std::optional<LocalAddresses> ListLocalAddresses();

// Whether `addr` is one of them.
bool IsLocal(const LocalAddresses& local, const Ipv4& addr);

// The links that are up, multicast-capable and carry an IPv4 address, in index order.
std::vector<unsigned> MulticastLinks(const LocalAddresses& local);

}  // namespace camsim
