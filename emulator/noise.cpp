#include "noise.h"

#include "event_loop.h"
#include "mdns_noise_wire.h"
#include "multicast_links.h"
#include "udp.h"

#include "platform/links.h"
#include "platform/owned_fd.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>

namespace camsim {
namespace {

constexpr Ipv4 kLimitedBroadcast{255, 255, 255, 255};
constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;

constexpr std::size_t kJunkSize = 40;

bool isMulticast(const Ipv4& a) { return a[0] >= 224 && a[0] <= 239; }

// Random bytes that never read as a discovery request (byte 1 is no request
// code) nor as a camera's reply (the hardware address at byte 6 starts with
// 0xff, never a maker's OUI), so tests stay deterministic.
std::vector<std::uint8_t> junk(std::mt19937_64& engine) {
    std::vector<std::uint8_t> bytes(kJunkSize);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(engine());
    bytes[1] = 0xEE;
    bytes[6] = 0xFF;
    return bytes;
}

// Where each datagram of a round leaves: from each sender address out of its
// link, or else out of every link that suits the destination. Nothing when a
// sender address is not local.
std::optional<std::vector<Route>> noiseRoutes(const NoiseOptions& options, const LocalAddresses& local) {
    std::vector<Route> routes;
    for (const Ipv4& from : options.from) {
        in_addr addr;
        std::memcpy(&addr.s_addr, from.data(), from.size());
        const unsigned link = platform::LinkOfAddress(addr);
        if (link == 0) {
            std::fprintf(stderr, "vantrel-camsim noise: --from %u.%u.%u.%u: no local link has this address\n",
                         from[0], from[1], from[2], from[3]);
            return std::nullopt;
        }
        routes.push_back({link, from});
    }
    if (!options.from.empty()) return routes;

    // Without a chosen link the limited broadcast and multicast leave only by
    // the default route, if any.
    if (options.to == kLimitedBroadcast) {
        for (const platform::Link& link : platform::ListLinks()) {
            if (platform::CanBroadcast(link)) routes.push_back({link.index, {}});
        }
    } else if (isMulticast(options.to)) {
        for (unsigned link : multicastLinks(local)) routes.push_back({link, {}});
    } else {
        routes.push_back({0, {}});  // the routing table decides
    }
    if (routes.empty()) std::fprintf(stderr, "vantrel-camsim noise: no suitable link is up; sending nothing\n");
    return routes;
}

// False on failure, with errno telling why.
bool setUpSocket(int fd, const NoiseOptions& options) {
    int on = 1;
    int off = 0;
    int ttl = 255;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) return false;
    // Like any mDNS host, the noise host does not hear its own datagrams.
    if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof(off)) != 0) return false;
    if (!options.mdns) return true;

    // mDNS is sent from its own port, with TTL 255. The socket joins no
    // group, and IP_MULTICAST_ALL 0 keeps other sockets' groups out of it.
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options.port);
    return setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
           setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof(off)) == 0 &&
           setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) == 0 &&
           ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
}

}  // namespace

int runNoise(const NoiseOptions& options, SignalWatch& signals) {
    auto local = localAddresses();
    if (!local) {
        std::fprintf(stderr, "vantrel-camsim noise: cannot read the interfaces: %s\n", std::strerror(errno));
        return kExitRuntime;
    }
    auto routes = noiseRoutes(options, *local);
    if (!routes) return kExitUsage;

    platform::OwnedFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!sock.valid() || !setUpSocket(sock.get(), options)) {
        std::fprintf(stderr, "vantrel-camsim noise: cannot set up the socket: %s\n", std::strerror(errno));
        return kExitRuntime;
    }

    platform::OwnedFd timer;
    if (options.intervalMs > 0) {
        timer.reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
        itimerspec timing{};
        timing.it_value.tv_nsec = 1;  // first round at once
        timing.it_interval.tv_sec = options.intervalMs / 1000;
        timing.it_interval.tv_nsec = static_cast<long>(options.intervalMs % 1000) * 1'000'000;
        if (!timer.valid() || timerfd_settime(timer.get(), 0, &timing, nullptr) != 0) {
            std::fprintf(stderr, "vantrel-camsim noise: cannot set up the timer: %s\n", std::strerror(errno));
            return kExitRuntime;
        }
    }

    std::printf("ready\n");
    std::fflush(stdout);

    std::mt19937_64 engine{std::random_device{}()};
    unsigned sent = 0;
    unsigned rounds = 0;
    unsigned failures = 0;
    auto sendRound = [&] {
        for (std::size_t r = 0; r < routes->size(); ++r) {
            const Route& route = (*routes)[r];
            // Each sender starts with another kind, so every kind is some sender's first.
            std::vector<std::uint8_t> datagram = options.mdns ? mdns::officeMessage(rounds + static_cast<unsigned>(r))
                                                              : junk(engine);
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            if (sendDatagram(sock.get(), {options.to, options.port}, route, datagram, deadline) == SendResult::Sent) {
                ++sent;
            } else {
                ++failures;
            }
        }
        ++rounds;
    };

    if (options.intervalMs == 0) {
        while (rounds < options.count && !signals.consume()) sendRound();
    } else {
        EventLoop loop;
        loop.watch(signals.fd(), [&] {
            if (signals.consume()) loop.stop();
        });
        loop.watch(timer.get(), [&] {
            std::uint64_t expirations = 0;
            if (::read(timer.get(), &expirations, sizeof(expirations)) != sizeof(expirations)) return;
            // A late wake-up owes the missed rounds; send them now rather than drift.
            for (std::uint64_t i = 0; i < expirations && rounds < options.count; ++i) sendRound();
            if (rounds >= options.count) loop.stop();
        });
        // The rounds end the loop; the deadline only guards against a timer that never fires.
        auto bound = std::chrono::milliseconds(static_cast<std::uint64_t>(options.intervalMs) * options.count) +
                     std::chrono::seconds(5);
        loop.run(std::chrono::steady_clock::now() + bound);
    }

    if (failures > 0) {
        std::fprintf(stderr, "vantrel-camsim noise: %u of %u datagrams not sent\n", failures, failures + sent);
    }
    return 0;
}

}  // namespace camsim
