#pragma once
// What the PC routes and which subnets its links hold, read in one go: the
// ground every route rule stands on.
#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct RouteEntry {
    in_addr destination{};
    int prefixLength = 0;
    std::vector<in_addr> gateways;  // one per next hop that names a gateway
    unsigned linkIndex = 0;         // 0 for a route of several next hops
    std::string linkName;           // filled by ReadRouteView
    unsigned char protocol = 0;     // RTPROT_*: who made it
    unsigned char type = 0;         // RTN_*
    uint32_t metric = 0;            // RTA_PRIORITY; on the program's routes, the id of the process that holds it
    uint32_t table = 0;             // RT_TABLE_MAIN (254) for the table the program writes
};

struct LinkSubnet {
    unsigned linkIndex = 0;
    std::string linkName;
    in_addr address{};  // the link's own address
    in_addr netmask{};
};

struct RouteView {
    bool read = false;               // false: the table could not be read, and no rule can be judged
    std::vector<RouteEntry> routes;  // IPv4, every table (policy routing and VPNs keep theirs apart)
    std::vector<LinkSubnet> subnets;
};

// One rtnetlink dump of every routing table and the links' IPv4 addresses.
RouteView ReadRouteView();

// Reads the messages of a route dump (RTM_NEWROUTE) into IPv4 routes; every
// attribute is length-checked. `done` at the dump's end; `failed` when the
// kernel reported an error or an interrupted dump (the table cannot be judged).
void ReadRouteMessages(const uint8_t* data, std::size_t length, std::vector<RouteEntry>& routes, bool& done,
                       bool& failed);

// The link's name, or "link N" when it has none.
std::string LinkName(unsigned linkIndex);

}  // namespace platform
