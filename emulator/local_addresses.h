#pragma once
// The IPv4 addresses this host owns, so a camera that shares one of them can
// send its replies from it.

#include "camera.h"

#include <optional>
#include <vector>

namespace camsim {

struct LocalAddress {
    Ipv4 addr{};
    unsigned ifindex = 0;  // the link that carries it
};

// Every IPv4 address assigned to an interface of this host, or nothing when
// the interfaces cannot be read.
std::optional<std::vector<LocalAddress>> localIpv4Addresses();

// The link that carries `addr`, or nothing when no local link does.
std::optional<unsigned> linkOf(const std::vector<LocalAddress>& local, const Ipv4& addr);

}  // namespace camsim
