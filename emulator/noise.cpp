#include "noise.h"

#include "event_loop.h"
#include "udp_send.h"

#include "platform/links.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace camsim {
namespace {

constexpr Ipv4 kLimitedBroadcast{255, 255, 255, 255};

// A closed-on-exit descriptor.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::vector<std::uint8_t> makeJunk(std::size_t size, std::mt19937_64& engine) {
    std::vector<std::uint8_t> junk(size);
    for (auto& b : junk) b = static_cast<std::uint8_t>(engine());
    if (size > 1) junk[1] = 0xEE;
    if (size > 6) junk[6] = 0xFF;
    return junk;
}

int runNoise(const NoiseOptions& options, SignalWatch& signals) {
    Fd sock{::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)};
    int on = 1;
    if (sock.fd < 0 || setsockopt(sock.fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
        std::fprintf(stderr, "vantrel-camsim noise: cannot set up the socket: %s\n", std::strerror(errno));
        return 1;
    }

    std::vector<unsigned> links{0};  // 0: the routing table decides
    if (options.to == kLimitedBroadcast) {
        // Without a chosen link the limited broadcast leaves only by the default route, if any.
        links.clear();
        for (const platform::Link& link : platform::ListLinks()) {
            if (platform::CanBroadcast(link)) links.push_back(link.index);
        }
        if (links.empty()) std::fprintf(stderr, "vantrel-camsim noise: no broadcast link is up; sending nothing\n");
    }

    Fd timer;
    if (options.intervalMs > 0) {
        timer.fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        itimerspec timing{};
        timing.it_value.tv_nsec = 1;  // first round at once
        timing.it_interval.tv_sec = options.intervalMs / 1000;
        timing.it_interval.tv_nsec = static_cast<long>(options.intervalMs % 1000) * 1'000'000;
        if (timer.fd < 0 || timerfd_settime(timer.fd, 0, &timing, nullptr) != 0) {
            std::fprintf(stderr, "vantrel-camsim noise: cannot set up the timer: %s\n", std::strerror(errno));
            return 1;
        }
    }

    std::printf("ready\n");
    std::fflush(stdout);

    std::mt19937_64 engine{std::random_device{}()};
    unsigned sent = 0;
    unsigned rounds = 0;
    unsigned failures = 0;
    auto sendRound = [&] {
        for (unsigned ifindex : links) {
            std::vector<std::uint8_t> junk = makeJunk(options.size, engine);
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            if (sendDatagram(sock.fd, {options.to, options.port}, {ifindex, {}}, junk, deadline) == SendResult::Sent) {
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
        loop.watch(timer.fd, [&] {
            std::uint64_t expirations = 0;
            if (::read(timer.fd, &expirations, sizeof(expirations)) != sizeof(expirations)) return;
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
