#pragma once
// The PC's network links (interfaces), whether or not they carry an IPv4 address.
#include <string>
#include <vector>

namespace platform {

struct Link {
    unsigned index = 0;  // kernel interface index
    std::string name;
    unsigned flags = 0;  // IFF_* flags
};

// Every link of this network namespace, in interface-index order, each once.
std::vector<Link> ListLinks();

// Up, broadcast-capable and not loopback: where a limited broadcast can go.
bool CanBroadcast(const Link& link);

}  // namespace platform
