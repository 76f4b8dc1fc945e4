#pragma once
// UDP sockets of the camera services: opened with the options a service
// needs, datagrams received with the link they arrived on and sent out of a
// chosen link without losing them to a momentarily full send queue.

#include "camera.h"

#include "owned_fd.h"

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace camsim {

// addr:port as the socket calls take it.
sockaddr_in SocketAddress(const Ipv4& addr, std::uint16_t port);

// What a service's socket needs besides its address, each one socket option.
struct SocketOptions {
    bool shared = false;       // SO_REUSEADDR: shares its port with the host's other sockets
    bool broadcast = false;    // SO_BROADCAST
    bool arrivalLink = false;  // IP_PKTINFO: each arrival tells its link, where the replies must leave
    // Sends multicast DNS: TTL 255 so receivers can tell it stayed on the link,
    // never hears its own datagrams, and takes in only the groups it joined itself.
    bool mdns = false;
};

// A non-blocking UDP socket with those options, bound to addr:port. On
// failure an empty one, and `error` says why.
platform::OwnedFd OpenUdp(const Ipv4& addr, std::uint16_t port, const SocketOptions& options, std::string& error);

struct Arrival {
    Ipv4 from{};
    std::uint16_t fromPort = 0;
    unsigned ifindex = 0;  // 0 when the socket does not report it (IP_PKTINFO off)
};

using Take = std::function<void(std::span<const std::uint8_t> datagram, const Arrival& arrival)>;

// Hands the datagrams waiting on fd to `take`, a bounded batch per call so a
// flood cannot starve the rest of the event loop. Cut-off datagrams (longer
// than any multicast DNS message) are dropped; a failed read is told on
// standard error for the socket `what`.
void ReceiveWaiting(int fd, const char* what, const Take& take);

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
SendResult SendDatagram(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes,
                        std::chrono::steady_clock::time_point deadline);

// sendDatagram with two seconds' patience; a datagram not sent is told on
// standard error as `what` of camera `who`.
void SendReply(int fd, const Destination& to, const Route& route, std::span<const std::uint8_t> bytes, const char* what,
               const std::string& who);

}  // namespace camsim
