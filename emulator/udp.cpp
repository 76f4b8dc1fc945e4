#include "udp.h"

#include "event_loop.h"

#include "deadline_wait.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

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

// A datagram's header for sendmsg and recvmsg: its peer, its bytes, and room
// for one IP_PKTINFO control message. Points into itself, so it stays put.
struct Message {
    Message(const void* data, std::size_t size) : iov{const_cast<void*>(data), size} {
        msg.msg_name = &peer;
        msg.msg_namelen = sizeof(peer);
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof(control);
    }
    Message(const Message&) = delete;

    sockaddr_in peer{};
    iovec iov;
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
};

}  // namespace

sockaddr_in SocketAddress(const Ipv4& addr, std::uint16_t port) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    std::memcpy(&out.sin_addr.s_addr, addr.data(), addr.size());
    return out;
}

platform::OwnedFd OpenUdp(const Ipv4& addr, std::uint16_t port, const SocketOptions& options, std::string& error) {
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
    const sockaddr_in bound = SocketAddress(addr, port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof(bound)) != 0) return fail("bind");
    return fd;
}

void ReceiveWaiting(int fd, const char* what, const Take& take) {
    for (int i = 0; i < kBatch; ++i) {
        std::array<std::uint8_t, kReadSize> buffer;
        Message m(buffer.data(), buffer.size());
        const ssize_t n = ::recvmsg(fd, &m.msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                Complain(0, "%s socket read failed: %s", what, std::strerror(errno));
            }
            return;
        }
        if (m.msg.msg_flags & MSG_TRUNC) continue;
        Arrival arrival;
        std::memcpy(arrival.from.data(), &m.peer.sin_addr.s_addr, arrival.from.size());
        arrival.fromPort = ntohs(m.peer.sin_port);
        for (cmsghdr* c = CMSG_FIRSTHDR(&m.msg); c; c = CMSG_NXTHDR(&m.msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof(info));
                arrival.ifindex = static_cast<unsigned>(info.ipi_ifindex);
            }
        }
        take(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)), arrival);
    }
}

SendResult SendDatagram(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes,
                        std::chrono::steady_clock::time_point deadline) {
    Message m(bytes.data(), bytes.size());
    m.peer = SocketAddress(to.addr, to.port);
    cmsghdr* cmsg = CMSG_FIRSTHDR(&m.msg);
    cmsg->cmsg_level = IPPROTO_IP;
    cmsg->cmsg_type = IP_PKTINFO;
    cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(route.ifindex);
    std::memcpy(&info.ipi_spec_dst.s_addr, route.source.data(), route.source.size());
    std::memcpy(CMSG_DATA(cmsg), &info, sizeof(info));

    for (;;) {
        if (sendmsg(fd, &m.msg, MSG_DONTWAIT) >= 0) return SendResult::Sent;
        if (errno == EINTR) continue;
        if (errno != ENOBUFS && errno != EAGAIN && errno != EWOULDBLOCK) return SendResult::Failed;
        if (std::chrono::steady_clock::now() >= deadline) return SendResult::TimedOut;
        // EAGAIN: the socket's send buffer is full and POLLOUT marks when it
        // drains. ENOBUFS (a full device queue) has no event of its own, so
        // POLLOUT returns at once and the loop retries until the deadline.
        if (platform::WaitReadable(fd, deadline, POLLOUT) == platform::Waited::Failed) return SendResult::Failed;
    }
}

void SendReply(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes, const char* what,
               const std::string& who) {
    const SendResult result = SendDatagram(fd, to, route, bytes, std::chrono::steady_clock::now() + kSendPatience);
    if (result == SendResult::Sent) return;
    Complain(0, "%s of %s to %s on link %u not sent: %s", what, who.c_str(), Dotted(to.addr).c_str(), route.ifindex,
             result == SendResult::TimedOut ? "send queue stayed full" : std::strerror(errno));
}

}  // namespace camsim
