#include "route_table.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "deadline_wait.h"
#include "ipv4_interfaces.h"
#include "owned_fd.h"

namespace platform {
namespace {

// Reads a 4-byte address attribute; false when its payload is another size.
bool ReadAddress(const rtattr* attribute, in_addr& address) {
    if (RTA_PAYLOAD(attribute) != sizeof address) return false;
    std::memcpy(&address, RTA_DATA(attribute), sizeof address);
    return true;
}

void ReadNextHops(const rtattr* multipath, RouteEntry& entry) {
    int left = static_cast<int>(RTA_PAYLOAD(multipath));
    const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(multipath));
    while (left >= static_cast<int>(sizeof(rtnexthop)) && hop->rtnh_len >= sizeof(rtnexthop) && hop->rtnh_len <= left) {
        int inner = hop->rtnh_len - static_cast<int>(RTNH_LENGTH(0));
        for (const rtattr* a = RTNH_DATA(hop); RTA_OK(a, inner); a = RTA_NEXT(a, inner)) {
            in_addr gateway{};
            if (a->rta_type == RTA_GATEWAY && ReadAddress(a, gateway)) entry.gateways.push_back(gateway);
        }
        left -= RTNH_ALIGN(hop->rtnh_len);
        hop = RTNH_NEXT(hop);
    }
}

}  // namespace

void ReadRouteMessages(const uint8_t* data, std::size_t length, std::vector<RouteEntry>& routes, bool& done,
                       bool& failed) {
    int left = static_cast<int>(length);
    for (auto* message = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(message, left);
         message = NLMSG_NEXT(message, left)) {
        if (message->nlmsg_flags & NLM_F_DUMP_INTR) failed = true;  // the table changed while it was read
        if (message->nlmsg_type == NLMSG_DONE || message->nlmsg_type == NLMSG_ERROR) {
            // Both carry an error number first (0: none); a message too short for it is a failure too.
            int error = -1;
            if (message->nlmsg_len >= NLMSG_LENGTH(sizeof error))
                std::memcpy(&error, NLMSG_DATA(message), sizeof error);
            if (error != 0) failed = true;
            done = true;
            return;
        }
        if (message->nlmsg_type != RTM_NEWROUTE || message->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg))) continue;
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(message));
        if (route->rtm_family != AF_INET || route->rtm_dst_len > 32) continue;
        uint32_t table = route->rtm_table;
        RouteEntry entry;
        entry.prefixLength = route->rtm_dst_len;
        entry.protocol = route->rtm_protocol;
        entry.type = route->rtm_type;
        int attributes = static_cast<int>(RTM_PAYLOAD(message));
        for (const rtattr* a = RTM_RTA(route); RTA_OK(a, attributes); a = RTA_NEXT(a, attributes)) {
            in_addr address{};
            switch (a->rta_type) {
            case RTA_TABLE:
                if (RTA_PAYLOAD(a) == sizeof table) std::memcpy(&table, RTA_DATA(a), sizeof table);
                break;
            case RTA_DST: ReadAddress(a, entry.destination); break;
            case RTA_GATEWAY:
                if (ReadAddress(a, address)) entry.gateways.push_back(address);
                break;
            case RTA_PRIORITY:
                if (RTA_PAYLOAD(a) == sizeof(uint32_t)) std::memcpy(&entry.metric, RTA_DATA(a), sizeof(uint32_t));
                break;
            case RTA_OIF:
                if (RTA_PAYLOAD(a) == sizeof(uint32_t)) std::memcpy(&entry.linkIndex, RTA_DATA(a), sizeof(uint32_t));
                break;
            case RTA_MULTIPATH: ReadNextHops(a, entry); break;
            }
        }
        entry.table = table;
        routes.push_back(entry);
    }
}

RouteView ReadRouteView() {
    RouteView view;
    OwnedFd fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (fd.get() < 0) return view;
    struct {
        nlmsghdr header;
        rtmsg route;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.route.rtm_family = AF_INET;
    if (send(fd.get(), &request, request.header.nlmsg_len, 0) < 0) return view;
    bool done = false, failed = false;
    std::vector<uint8_t> answer(32768);  // operator new's alignment suits nlmsghdr
    // The kernel answers at once; the bound only guards against a lost answer.
    const auto deadline = WaitClock::now() + std::chrono::seconds(2);
    while (!done) {
        if (WaitReadable(fd.get(), deadline) != Waited::Ready) return view;
        const ssize_t n = recv(fd.get(), answer.data(), answer.size(), 0);
        if (n <= 0) return view;
        ReadRouteMessages(answer.data(), static_cast<std::size_t>(n), view.routes, done, failed);
    }
    if (failed) return view;
    for (RouteEntry& route : view.routes)
        route.linkName = route.linkIndex ? LinkName(route.linkIndex) : "several links";
    std::vector<Ipv4Interface> addresses(4096);
    const int count = ListIpv4Interfaces(addresses.data(), static_cast<int>(addresses.size()));
    if (count < 0 || count == static_cast<int>(addresses.size())) return view;  // possibly not all
    for (int i = 0; i < count; ++i)
        view.subnets.push_back(
            {addresses[i].index, LinkName(addresses[i].index), addresses[i].address, addresses[i].netmask});
    view.read = true;
    return view;
}

std::string LinkName(unsigned linkIndex) {
    char name[IF_NAMESIZE] = "";
    return if_indextoname(linkIndex, name) ? std::string(name) : "link " + std::to_string(linkIndex);
}

}  // namespace platform
