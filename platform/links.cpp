#include "links.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>

#include <algorithm>

namespace platform {

std::vector<Link> ListLinks() {
    std::vector<Link> links;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return links;
    // AF_PACKET entries name every link once, also one without an IPv4 address.
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || !entry->ifa_name) continue;
        Link link;
        const auto* address = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        link.index = address->sll_ifindex;
        link.name = entry->ifa_name;
        link.flags = entry->ifa_flags;
        link.hardwareType = address->sll_hatype;
        link.hwAddrLength = std::min<unsigned char>(address->sll_halen, sizeof link.hwAddr);
        std::copy_n(address->sll_addr, link.hwAddrLength, link.hwAddr);
        if (link.index == 0) link.index = if_nametoindex(entry->ifa_name);
        if (link.index == 0) continue;
        if (std::none_of(links.begin(), links.end(), [&](const Link& l) { return l.index == link.index; }))
            links.push_back(std::move(link));
    }
    freeifaddrs(list);
    std::sort(links.begin(), links.end(), [](const Link& a, const Link& b) { return a.index < b.index; });
    return links;
}

bool CanBroadcast(const Link& link) {
    return (link.flags & IFF_UP) && (link.flags & IFF_BROADCAST) && !(link.flags & IFF_LOOPBACK);
}

}  // namespace platform
