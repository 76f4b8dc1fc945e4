#pragma once
// A misbehaving or merely busy host: sends junk datagrams, or other hosts'
// well-formed multicast DNS, at a steady pace, to test that both sides of
// discovery shrug them off.

#include "camera.h"
#include "event_loop.h"

#include <cstdint>
#include <vector>

namespace camsim {

struct NoiseOptions {
    std::uint16_t port = 0;
    unsigned intervalMs = 0;  // 0: back to back
    unsigned count = 0;       // rounds; a round sends one datagram per link or sender address
    Ipv4 to{255, 255, 255, 255};
    // Instead of junk, an office's multicast DNS by turns (TXT updates,
    // printers' and a web server's answers, a query), sent from the
    // destination port as mDNS is.
    bool mdns = false;
    // Sender addresses, each local: every round sends one datagram from each,
    // out of its link. Empty: the kernel picks the address.
    std::vector<Ipv4> from;
};

// Sends the datagrams. Without sender addresses the limited broadcast goes
// out of every link that is up, broadcast-capable and not loopback, any
// other address (a multicast group too) by the routing table. Prints "ready" once the socket is set up; stops early
// when signalFd (a signalfd of the stop signals) turns readable. Returns the process exit code.
int RunNoise(const NoiseOptions& options, int signalFd);

}  // namespace camsim
