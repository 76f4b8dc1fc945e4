#include "udp_receive.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace camsim {

ReceiveResult receiveDatagram(int fd, std::span<std::uint8_t> buffer, Arrival& arrival) {
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

    ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReceiveResult::Empty;
        return ReceiveResult::Failed;
    }

    arrival = Arrival{};
    arrival.length = static_cast<std::size_t>(n);
    arrival.truncated = (msg.msg_flags & MSG_TRUNC) != 0;
    if (msg.msg_namelen >= sizeof(sockaddr_in)) {
        std::memcpy(arrival.from.data(), &from.sin_addr.s_addr, arrival.from.size());
        arrival.fromPort = ntohs(from.sin_port);
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO &&
            c->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof(info));
            arrival.ifindex = static_cast<unsigned>(info.ipi_ifindex);
        }
    }
    return ReceiveResult::Received;
}

}  // namespace camsim
