#pragma once
// The PC's network links (interfaces), whether or not they carry an IPv4 address.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct Link {
    unsigned index = 0;  // kernel interface index
    std::string name;
    unsigned flags = 0;               // IFF_* flags
    unsigned short hardwareType = 0;  // ARPHRD_*
    unsigned char hwAddrLength = 0;   // bytes of hwAddr that hold the link's address
    uint8_t hwAddr[8] = {};
};

// Every link of this network namespace, in interface-index order, each once.
std::vector<Link> ListLinks();

// Up, broadcast-capable and not loopback: where a limited broadcast can go.
bool CanBroadcast(const Link& link);

}  // namespace platform
