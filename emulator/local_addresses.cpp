#include "local_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>
#include <string>

namespace camsim {

std::optional<std::vector<LocalAddress>> localIpv4Addresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::vector<LocalAddress> addresses;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || !it->ifa_name) continue;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        LocalAddress local;
        std::memcpy(local.addr.data(), &sin->sin_addr.s_addr, local.addr.size());
        // An alias address is named "eth0:1"; link names never hold a colon.
        std::string link = it->ifa_name;
        local.ifindex = if_nametoindex(link.substr(0, link.find(':')).c_str());
        addresses.push_back(local);
    }
    freeifaddrs(list);
    return addresses;
}

std::optional<unsigned> linkOf(const std::vector<LocalAddress>& local, const Ipv4& addr) {
    for (const LocalAddress& l : local) {
        if (l.addr == addr) return l.ifindex;
    }
    return std::nullopt;
}

}  // namespace camsim
