#include "route_requests.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "deadline_wait.h"
#include "owned_fd.h"
#include "route_rules.h"

namespace platform::netlink {
namespace {

struct RouteRequest {
    nlmsghdr header;
    rtmsg route;
    char attributes[64];
};

void AddAttribute(RouteRequest& request, unsigned short type, const void* data, unsigned short length) {
    auto* attribute =
        reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
    attribute->rta_type = type;
    attribute->rta_len = RTA_LENGTH(length);
    std::memcpy(RTA_DATA(attribute), data, length);
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);
}

}  // namespace

int Transact(nlmsghdr& request) {
    const OwnedFd fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd.valid()) return errno;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    request.nlmsg_flags |= NLM_F_REQUEST | NLM_F_ACK;
    request.nlmsg_seq = 1;
    int result = 0;
    if (sendto(fd.get(), &request, request.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
        result = errno;
    } else {
        result = ETIMEDOUT;
        alignas(nlmsghdr) char answer[4096];
        // The kernel answers at once; the bound only guards against a lost answer.
        const auto deadline = WaitClock::now() + std::chrono::seconds(2);
        while (WaitReadable(fd.get(), deadline) == Waited::Ready) {
            ssize_t n = recv(fd.get(), answer, sizeof answer, 0);
            if (n <= 0) {
                result = errno ? errno : EIO;
                break;
            }
            bool done = false;
            int left = static_cast<int>(n);
            for (auto* message = reinterpret_cast<nlmsghdr*>(answer); NLMSG_OK(message, left);
                 message = NLMSG_NEXT(message, left)) {
                if (message->nlmsg_type == NLMSG_ERROR && message->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
                    result = -static_cast<const nlmsgerr*>(NLMSG_DATA(message))->error;
                    done = true;
                    break;
                }
            }
            if (done) break;
        }
    }
    return result;
}

namespace {

RouteRequest Request(unsigned short type, unsigned short flags, in_addr destination, int prefixLength,
                     unsigned linkIndex) {
    RouteRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = flags;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = static_cast<unsigned char>(prefixLength);
    request.route.rtm_table = RT_TABLE_MAIN;
    request.route.rtm_protocol = kRouteProtocol;
    request.route.rtm_scope = RT_SCOPE_LINK;
    request.route.rtm_type = RTN_UNICAST;
    AddAttribute(request, RTA_DST, &destination, sizeof destination);
    const uint32_t oif = linkIndex;
    AddAttribute(request, RTA_OIF, &oif, sizeof oif);
    return request;
}

}  // namespace

int AddLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex, in_addr source, uint32_t holder) {
    RouteRequest request = Request(RTM_NEWROUTE, NLM_F_CREATE | NLM_F_EXCL, destination, prefixLength, linkIndex);
    AddAttribute(request, RTA_PREFSRC, &source, sizeof source);
    AddAttribute(request, RTA_PRIORITY, &holder, sizeof holder);
    return Transact(request.header);
}

int DeleteLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex) {
    // Protocol and scope as added here: routes the PC has from elsewhere stay.
    RouteRequest request = Request(RTM_DELROUTE, 0, destination, prefixLength, linkIndex);
    return Transact(request.header);
}

}  // namespace platform::netlink
