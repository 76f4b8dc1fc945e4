#pragma once
// Reading one UDP datagram together with the link it arrived on.

#include "camera.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace camsim {

struct Arrival {
    std::size_t length = 0;  // bytes of the datagram held in the buffer
    bool truncated = false;  // the datagram was longer than the buffer
    Ipv4 from{};
    std::uint16_t fromPort = 0;
    unsigned ifindex = 0;    // 0 when the socket does not report it (IP_PKTINFO off)
};

enum class ReceiveResult {
    Received,
    Empty,   // nothing waiting
    Failed,  // errno tells why
};

// One non-blocking recvmsg into `buffer`.
ReceiveResult receiveDatagram(int fd, std::span<std::uint8_t> buffer, Arrival& arrival);

}  // namespace camsim
