#include "udp.h"

#include "event_loop.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace camsim {
namespace {

constexpr int kBatch = 64;                    // datagrams handled per wake-up
constexpr std::size_t kReadSize = 9000 - 28;  // the largest multicast DNS message; any request is shorter
// How long one reply may wait for room in the send queue before it is given up.
constexpr std::chrono::seconds kSendPatience{2};

}  // namespace

sockaddr_in socketAddress(const Ipv4& addr, std::uint16_t port) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    std::memcpy(&out.sin_addr.s_addr, addr.data(), addr.size());
    return out;
}

platform::OwnedFd openUdp(const Ipv4& addr, std::uint16_t port, const SocketOptions& options, std::string& error) {
    struct Option {
        bool wanted;
        int level, name, value;
        const char* what;
    };
    const Option list[] = {
        {options.shared, SOL_SOCKET, SO_REUSEADDR, 1, "SO_REUSEADDR"},
        {options.broadcast, SOL_SOCKET, SO_BROADCAST, 1, "SO_BROADCAST"},
        {options.arrivalLink, IPPROTO_IP, IP_PKTINFO, 1, "IP_PKTINFO"},
        {options.mdns, IPPROTO_IP, IP_MULTICAST_TTL, 255, "IP_MULTICAST_TTL"},
        {options.mdns, IPPROTO_IP, IP_MULTICAST_LOOP, 0, "IP_MULTICAST_LOOP"},
        {options.mdns, IPPROTO_IP, IP_MULTICAST_ALL, 0, "IP_MULTICAST_ALL"},
    };
    auto fail = [&](const char* what) {
        error = std::string(what) + ": " + std::strerror(errno);
        return platform::OwnedFd();
    };
    platform::OwnedFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fail("socket");
    for (const Option& o : list) {
        if (o.wanted && setsockopt(fd.get(), o.level, o.name, &o.value, sizeof(o.value)) != 0) return fail(o.what);
    }
    const sockaddr_in bound = socketAddress(addr, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof(bound)) != 0) return fail("bind");
    return fd;
}

void receiveWaiting(int fd, const char* what, const Take& take) {
    for (int i = 0; i < kBatch; ++i) {
        std::array<std::uint8_t, kReadSize> buffer;
        sockaddr_in from{};
        iovec iov{buffer.data(), buffer.size()};
        alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof(from);
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof(control);
        const ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                complain(0, "%s socket read failed: %s", what, std::strerror(errno));
            }
            return;
        }
        if (msg.msg_flags & MSG_TRUNC) continue;
        Arrival arrival;
        std::memcpy(arrival.from.data(), &from.sin_addr.s_addr, arrival.from.size());
        arrival.fromPort = ntohs(from.sin_port);
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof(info));
                arrival.ifindex = static_cast<unsigned>(info.ipi_ifindex);
            }
        }
        take(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)), arrival);
    }
}

SendResult sendDatagram(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes,
                        std::chrono::steady_clock::time_point deadline) {
    sockaddr_in dst = socketAddress(to.addr, to.port);

    iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};

    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &dst;
    msg.msg_namelen = sizeof(dst);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);

    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = IPPROTO_IP;
    cmsg->cmsg_type = IP_PKTINFO;
    cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(route.ifindex);
    std::memcpy(&info.ipi_spec_dst.s_addr, route.source.data(), route.source.size());
    std::memcpy(CMSG_DATA(cmsg), &info, sizeof(info));

    for (;;) {
        if (sendmsg(fd, &msg, MSG_DONTWAIT) >= 0) return SendResult::Sent;
        if (errno == EINTR) continue;
        if (errno != ENOBUFS && errno != EAGAIN && errno != EWOULDBLOCK) return SendResult::Failed;

        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return SendResult::TimedOut;
        // EAGAIN: the socket's send buffer is full and POLLOUT marks when it
        // drains. ENOBUFS (a full device queue) has no event of its own, so
        // POLLOUT returns at once and the loop retries until the deadline.
        pollfd pfd{fd, POLLOUT, 0};
        int timeoutMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count() + 1, 60'000));
        if (poll(&pfd, 1, timeoutMs) < 0 && errno != EINTR) return SendResult::Failed;
    }
}

void sendReply(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes, const char* what,
               const std::string& who) {
    const SendResult result = sendDatagram(fd, to, route, bytes, std::chrono::steady_clock::now() + kSendPatience);
    if (result == SendResult::Sent) return;
    complain(0, "%s of %s to %s on link %u not sent: %s", what, who.c_str(), dotted(to.addr).c_str(), route.ifindex,
             result == SendResult::TimedOut ? "send queue stayed full" : std::strerror(errno));
}

}  // namespace camsim
