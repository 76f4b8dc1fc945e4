#pragma once
// A misbehaving host: sends junk datagrams at a steady pace, to test that
// both sides of discovery shrug them off.

#include "camera.h"
#include "signal_watch.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace camsim {

struct NoiseOptions {
    std::uint16_t port = 0;
    unsigned intervalMs = 0;  // 0: back to back
    unsigned count = 0;       // rounds; a round sends one datagram per link
    Ipv4 to{255, 255, 255, 255};
    std::size_t size = 40;
};

// Random bytes that never read as a discovery request (byte 1 is no request
// code) nor as a camera's reply (the hardware address at byte 6 starts with
// 0xff, never a maker's OUI), so tests stay deterministic.
std::vector<std::uint8_t> makeJunk(std::size_t size, std::mt19937_64& engine);

// Sends the junk; the limited broadcast goes out of every link that is up,
// broadcast-capable and not loopback, any other address by the routing table.
// Prints "ready" once the socket is set up. Returns the process exit code.
int runNoise(const NoiseOptions& options, SignalWatch& signals);

}  // namespace camsim
