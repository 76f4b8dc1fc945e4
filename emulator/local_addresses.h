#pragma once
// The IPv4 addresses this host owns, so a camera that shares one of them can
// send its replies from it.

#include "camera.h"

#include <optional>
#include <vector>

namespace camsim {

// Every IPv4 address assigned to an interface of this host, or nothing when
// the interfaces cannot be read.
std::optional<std::vector<Ipv4>> localIpv4Addresses();

}  // namespace camsim
