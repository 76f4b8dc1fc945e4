#include "ipv4_interfaces.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {

int ListIpv4Interfaces(Ipv4Interface* list, int capacity) {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return -1;
    std::vector<Ipv4Interface> found;
    for (ifaddrs* entry = all; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name) continue;
        Ipv4Interface item;
        std::strncpy(item.name, entry->ifa_name, sizeof item.name - 1);
        // An alias label ("eth0:1") names the same link as "eth0".
        char link[IF_NAMESIZE + 1] = {};
        std::strncpy(link, entry->ifa_name, IF_NAMESIZE);
        if (char* colon = std::strchr(link, ':')) *colon = '\0';
        item.index = if_nametoindex(link);
        item.flags = entry->ifa_flags;
        item.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if (entry->ifa_netmask && entry->ifa_netmask->sa_family == AF_INET)
            item.netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr;
        found.push_back(item);
    }
    freeifaddrs(all);
    std::stable_sort(found.begin(), found.end(),
                     [](const Ipv4Interface& a, const Ipv4Interface& b) { return a.index < b.index; });
    const int n = std::min<int>(capacity, static_cast<int>(found.size()));
    std::copy(found.begin(), found.begin() + n, list);
    return n;
}

unsigned LinkOfAddress(in_addr address) {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return 0;
    unsigned index = 0;
    for (ifaddrs* entry = all; entry && index == 0; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name) continue;
        if (reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr != address.s_addr) continue;
        char link[IF_NAMESIZE + 1] = {};
        std::strncpy(link, entry->ifa_name, IF_NAMESIZE);
        if (char* colon = std::strchr(link, ':')) *colon = '\0';
        index = if_nametoindex(link);
    }
    freeifaddrs(all);
    return index;
}

}  // namespace platform
