#include "multicast_links.h"

#include "links.h"

#include <net/if.h>

#include <algorithm>

namespace camsim {

std::vector<unsigned> multicastLinks(const std::vector<LocalAddress>& local) {
    std::vector<unsigned> out;
    for (const platform::Link& link : platform::ListLinks()) {
        bool usable = (link.flags & IFF_UP) && (link.flags & IFF_MULTICAST);
        bool hasIpv4 = std::any_of(local.begin(), local.end(),
                                   [&](const LocalAddress& l) { return l.ifindex == link.index; });
        if (usable && hasIpv4) out.push_back(link.index);
    }
    return out;
}

}  // namespace camsim
