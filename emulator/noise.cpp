#include "noise.h"

#include "event_loop.h"
#include "mdns_noise_wire.h"
#include "udp.h"

#include "ipv4_interfaces.h"
#include "links.h"
#include "owned_fd.h"

#include <netinet/in.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>

namespace camsim {
namespace {

constexpr Ipv4 kLimitedBroadcast{255, 255, 255, 255};

constexpr std::size_t kJunkSize = 40;

// Random bytes that never read as a discovery request (byte 1 is no request
// code) nor as a camera's reply (the hardware address at byte 6 starts with
// 0xff, never a maker's OUI), so tests stay deterministic.
std::vector<std::uint8_t> Junk(std::mt19937_64& engine) {
    std::vector<std::uint8_t> bytes(kJunkSize);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(engine());
    bytes[1] = 0xEE;
    bytes[6] = 0xFF;
    return bytes;
}

// Where each datagram of a round leaves: from each sender address out of its
// link, or else out of every link that suits the destination. Nothing when a
// sender address is not local.
std::optional<std::vector<Route>> NoiseRoutes(const NoiseOptions& options) {
    std::vector<Route> routes;
    for (const Ipv4& from : options.from) {
        in_addr addr;
        std::memcpy(&addr.s_addr, from.data(), from.size());
        const unsigned link = platform::LinkOfAddress(addr);
        if (link == 0) {
            Complain(0, "noise: --from %s: no local link has this address", Dotted(from).c_str());
            return std::nullopt;
        }
        routes.push_back({link, from});
    }
    if (!options.from.empty()) return routes;

    // Without a chosen link the limited broadcast leaves only by the default
    // route, if any.
    if (options.to != kLimitedBroadcast) return std::vector<Route>{{0, {}}};  // the routing table decides
    for (const platform::Link& link : platform::ListLinks()) {
        if (platform::CanBroadcast(link)) routes.push_back({link.index, {}});
    }
    if (routes.empty()) Complain(0, "noise: no suitable link is up; sending nothing");
    return routes;
}

}  // namespace

int RunNoise(const NoiseOptions& options, int signalFd) {
    auto routes = NoiseRoutes(options);
    if (!routes) return kExitUsage;

    // Like any mDNS host, the noise host does not hear its own datagrams. Its
    // mDNS leaves from the mDNS port; the socket joins no group.
    std::string error;
    platform::OwnedFd sock =
        OpenUdp({}, options.mdns ? options.port : 0, {.shared = options.mdns, .broadcast = true, .mdns = true}, error);
    if (!sock.valid()) return Complain(kExitRuntime, "noise: cannot set up the socket: %s", error.c_str());

    Say("ready");

    std::mt19937_64 engine{std::random_device{}()};
    unsigned rounds = 0;
    unsigned failures = 0;
    EventLoop loop;
    loop.StopOn(signalFd);
    // Round k is due k intervals after the start: a late wake-up sends the
    // rounds it missed at once rather than drift.
    const auto start = EventLoop::Clock::now();
    const std::chrono::milliseconds interval(options.intervalMs);
    std::function<void()> round = [&] {
        for (std::size_t r = 0; r < routes->size(); ++r) {
            // Each sender starts with another kind, so every kind is some sender's first.
            auto datagram = options.mdns ? mdns::OfficeMessage(rounds + static_cast<unsigned>(r)) : Junk(engine);
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            if (SendDatagram(sock.get(), {options.to, options.port}, (*routes)[r], datagram, deadline) !=
                SendResult::Sent) {
                ++failures;
            }
        }
        if (++rounds < options.count)
            loop.At(start + interval * rounds, round);
        else
            loop.Stop();
    };
    loop.At(start, round);
    loop.Run(EventLoop::Clock::time_point::max());  // the rounds or a signal end it
    if (failures > 0) Complain(0, "noise: %u of %zu datagrams not sent", failures, rounds * routes->size());
    return 0;
}

}  // namespace camsim
