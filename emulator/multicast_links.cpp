#include "multicast_links.h"

#include <net/if.h>

#include <algorithm>
#include <cstring>

namespace camsim {

std::optional<LocalAddresses> ListLocalAddresses() {
    // A host may play hundreds of cameras, each on an address of its own.
    LocalAddresses list(8192);
    const int n = platform::ListIpv4Interfaces(list.data(), static_cast<int>(list.size()));
    if (n < 0) return std::nullopt;
    list.resize(static_cast<std::size_t>(n));
    return list;
}

bool IsLocal(const LocalAddresses& local, const Ipv4& addr) {
    return std::any_of(local.begin(), local.end(), [&](const platform::Ipv4Interface& l) {
        return std::memcmp(&l.address.s_addr, addr.data(), addr.size()) == 0;
    });
}

std::vector<unsigned> MulticastLinks(const LocalAddresses& local) {
    std::vector<unsigned> out;
    for (const platform::Ipv4Interface& l : local) {
        bool usable = (l.flags & IFF_UP) && (l.flags & IFF_MULTICAST);
        if (usable && (out.empty() || out.back() != l.index)) out.push_back(l.index);
    }
    return out;
}

}  // namespace camsim
