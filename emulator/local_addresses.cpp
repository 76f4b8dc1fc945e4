#include "local_addresses.h"

#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>

namespace camsim {

std::optional<std::vector<Ipv4>> localIpv4Addresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::vector<Ipv4> addresses;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        Ipv4 addr{};
        std::memcpy(addr.data(), &sin->sin_addr.s_addr, addr.size());
        addresses.push_back(addr);
    }
    freeifaddrs(list);
    return addresses;
}

}  // namespace camsim
