#include "link_address.h"

#include "route_requests.h"

#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/ip.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace camsim {
namespace {

// One rtnetlink request: header, family message, then attributes.
struct Request {
    Request(unsigned short type, unsigned short flags, std::size_t bodySize) {
        header().nlmsg_len = NLMSG_LENGTH(bodySize);
        header().nlmsg_type = type;
        header().nlmsg_flags = flags;
    }
    nlmsghdr& header() { return *reinterpret_cast<nlmsghdr*>(bytes); }
    template <class Body>
    Body& body() {
        return *static_cast<Body*>(NLMSG_DATA(&header()));
    }
    // Appends an attribute; returns where it starts, for Close() of a nested one.
    std::size_t Add(unsigned short type, const void* data = nullptr, unsigned short length = 0) {
        const std::size_t at = NLMSG_ALIGN(header().nlmsg_len);
        auto* attribute = reinterpret_cast<rtattr*>(bytes + at);
        attribute->rta_type = type;
        attribute->rta_len = RTA_LENGTH(length);
        if (length) std::memcpy(RTA_DATA(attribute), data, length);
        header().nlmsg_len = static_cast<std::uint32_t>(at + RTA_ALIGN(attribute->rta_len));
        return at;
    }
    // A nested attribute holds everything added after it.
    void Close(std::size_t at) {
        reinterpret_cast<rtattr*>(bytes + at)->rta_len = static_cast<unsigned short>(header().nlmsg_len - at);
    }

    alignas(nlmsghdr) unsigned char bytes[256] = {};
};

Request AddressRequest(unsigned short type, unsigned short flags, unsigned ifindex, const Ipv4& addr,
                       int prefixLength) {
    Request request(type, flags, sizeof(ifaddrmsg));
    ifaddrmsg& message = request.body<ifaddrmsg>();
    message.ifa_family = AF_INET;
    message.ifa_prefixlen = static_cast<unsigned char>(prefixLength);
    message.ifa_index = ifindex;
    request.Add(IFA_LOCAL, addr.data(), 4);
    return request;
}

}  // namespace

int AddLinkAddress(unsigned ifindex, const Ipv4& addr, int prefixLength) {
    Request request = AddressRequest(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, ifindex, addr, prefixLength);
    request.Add(IFA_ADDRESS, addr.data(), 4);
    return platform::netlink::Transact(request.header());
}

int RemoveLinkAddress(unsigned ifindex, const Ipv4& addr) {
    // Without IFA_ADDRESS the kernel matches the address alone, not its prefix.
    Request request = AddressRequest(RTM_DELADDR, 0, ifindex, addr, 0);
    return platform::netlink::Transact(request.header());
}

int KeepSecondaries(unsigned ifindex) {
    Request request(RTM_SETLINK, 0, sizeof(ifinfomsg));
    request.body<ifinfomsg>().ifi_index = static_cast<int>(ifindex);
    const std::size_t perFamily = request.Add(IFLA_AF_SPEC);
    const std::size_t inet = request.Add(AF_INET);
    const std::size_t conf = request.Add(IFLA_INET_CONF);
    const std::uint32_t on = 1;
    request.Add(IPV4_DEVCONF_PROMOTE_SECONDARIES, &on, sizeof(on));
    for (std::size_t at : {conf, inet, perFamily}) request.Close(at);
    return platform::netlink::Transact(request.header());
}

}  // namespace camsim
