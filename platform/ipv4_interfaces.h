#pragma once
// The PC's IPv4 interface addresses with their link's flags.
#include <netinet/in.h>

#include <string>

namespace platform {

struct Ipv4Interface {
    unsigned index = 0;  // kernel interface index; aliases share it
    char name[16] = {};  // "eth0", or "eth0:1" for a labelled alias
    unsigned flags = 0;  // IFF_* flags of the link
    in_addr address{};
    in_addr netmask{};
};

// Fills `list` with at most `capacity` IPv4 addresses, ordered by interface
// index (addresses of one link in the kernel's order). Returns the number
// written, or -1 when the list cannot be read.
int ListIpv4Interfaces(Ipv4Interface* list, int capacity);

// Index of the link that holds `address`; 0 when none does.
unsigned LinkOfAddress(in_addr address);

}  // namespace platform
