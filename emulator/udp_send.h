#pragma once
// Sending one UDP datagram out of a chosen link, without losing it to a
// momentarily full send queue.

#include "camera.h"

#include <chrono>
#include <cstdint>
#include <span>

namespace camsim {

struct Destination {
    Ipv4 addr{};
    std::uint16_t port = 0;
};

struct Route {
    unsigned ifindex = 0;  // link to leave through; 0 lets the kernel choose
    Ipv4 source{};         // source address; 0.0.0.0 lets the kernel choose
};

enum class SendResult {
    Sent,
    TimedOut,  // the queue stayed full until the deadline
    Failed,    // any other error; errno tells which
};

// sendmsg with an IP_PKTINFO control message. On ENOBUFS or EAGAIN waits for
// the socket to become writable and sends the same datagram again, until
// `deadline`. Works on blocking and non-blocking sockets.
SendResult sendDatagram(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes,
                        std::chrono::steady_clock::time_point deadline);

}  // namespace camsim
