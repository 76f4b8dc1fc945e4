#pragma once
// The duplicate-address probe: does a device on a local link answer for an
// IPv4 address, and with which hardware address?
#include <netinet/in.h>

#include <cstdint>
#include <vector>

namespace platform {

enum class ProbeMethod {
    ArpOnEveryLink,   // AF_PACKET ARP probes (sender 0.0.0.0) on every ARP link: needs CAP_NET_RAW
    KernelNeighbour,  // without it: the kernel resolves on the link its route picks
};

struct ProbeAnswer {
    bool answered = false;
    uint8_t hwAddr[6] = {};
    ProbeMethod method = ProbeMethod::ArpOnEveryLink;
};

// How the answer was found, for traces.
inline const char* ProbeMethodName(ProbeMethod method) {
    return method == ProbeMethod::ArpOnEveryLink ? "ARP on every link" : "the kernel's neighbour table";
}

// Blocks for at most about a second with the ARP probe (about 3 s to say no
// with the kernel's resolution). `address` in network order.
ProbeAnswer ProbeAddress(in_addr address);

// Many addresses in one round: every ARP probe is sent, then one wait serves
// them all (the kernel's resolution still takes each in turn). One answer per
// address, in their order.
std::vector<ProbeAnswer> ProbeAddresses(const std::vector<in_addr>& addresses);

}  // namespace platform
