// vantrel-camsim: plays any number of cameras on the local network for
// integration tests and benchmarks, or (noise) plays a host that sends junk.

#include "camera_config.h"
#include "drovik_responder.h"
#include "drovik_responder_wire.h"
#include "event_loop.h"
#include "local_addresses.h"
#include "noise.h"
#include "signal_watch.h"

#include <CLI/CLI.hpp>

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kExitRuntime = 1;  // the program could not do its job (socket, interfaces)
constexpr int kExitUsage = 2;    // bad command line or config

constexpr std::size_t kMaxUdpPayload = 65507;
constexpr std::uint64_t kMaxNoiseMs = 600'000;  // noise always ends within ten minutes

int runCameras(const std::string& configPath, double durationS, bool verbose, camsim::SignalWatch& signals) {
    camsim::CameraConfig config = camsim::loadCameraConfigFile(configPath);
    if (!config.ok()) {
        std::fprintf(stderr, "vantrel-camsim: %s: %s\n", configPath.c_str(), config.error.c_str());
        return kExitUsage;
    }
    for (std::size_t i = 0; i < config.cameras.size(); ++i) {
        std::size_t size = camsim::drovik::buildDiscoveryReply(config.cameras[i], 1, {}).size();
        if (size > kMaxUdpPayload) {
            std::fprintf(stderr, "vantrel-camsim: %s: cameras[%zu]: its discovery reply would be %zu bytes, "
                         "more than one UDP datagram holds\n", configPath.c_str(), i, size);
            return kExitUsage;
        }
    }

    auto local = camsim::localIpv4Addresses();
    if (!local) {
        std::fprintf(stderr, "vantrel-camsim: cannot read the interfaces: %s\n", std::strerror(errno));
        return kExitRuntime;
    }
    camsim::DrovikResponder drovik(config.cameras, *local);
    drovik.setVerbose(verbose);
    std::string error;
    if (!drovik.open(error)) {
        std::fprintf(stderr, "vantrel-camsim: discovery port %u: %s\n", camsim::drovik::kRequestPort, error.c_str());
        return kExitRuntime;
    }

    camsim::EventLoop loop;
    loop.watch(signals.fd(), [&] {
        if (signals.consume()) loop.stop();
    });
    loop.watch(drovik.fd(), [&] { drovik.onReadable(); });

    std::printf("ready\n");
    std::fflush(stdout);

    auto duration = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(durationS));
    camsim::EventLoop::End end = loop.run(std::chrono::steady_clock::now() + duration);
    if (verbose) {
        const auto& s = drovik.stats();
        std::fprintf(stderr, "vantrel-camsim: %llu requests, %llu replies, %llu replies not sent\n",
                     static_cast<unsigned long long>(s.requests), static_cast<unsigned long long>(s.replies),
                     static_cast<unsigned long long>(s.sendFailures));
    }
    if (end == camsim::EventLoop::End::PollFailed) {
        std::fprintf(stderr, "vantrel-camsim: poll failed: %s\n", std::strerror(errno));
        return kExitRuntime;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Plays Zorvo cameras on the local network for tests and benchmarks.\n"
                 "Prints \"ready\" once it listens; stops on SIGTERM, SIGINT or after --duration-s."};

    std::string configPath;
    double durationS = 600;
    bool verbose = false;
    auto* configOption =
        app.add_option("--config", configPath, "JSON file describing the cameras")->check(CLI::ExistingFile);
    app.add_option("--duration-s", durationS, "stop after this many seconds (default 600)")
        ->check(CLI::Range(0.001, 86400.0));
    app.add_flag("-v,--verbose", verbose, "log every request to stderr");

    camsim::NoiseOptions noise;
    std::string noiseTo = "255.255.255.255";
    auto* noiseCommand = app.add_subcommand("noise", "send junk datagrams, as a misbehaving host would");
    noiseCommand->add_option("--port", noise.port, "destination UDP port")->required()->check(CLI::Range(1, 65535));
    noiseCommand->add_option("--interval-ms", noise.intervalMs, "time between rounds; 0 sends back to back")
        ->required()
        ->check(CLI::Range(0, 60'000));
    noiseCommand->add_option("--count", noise.count, "number of rounds (one datagram per link each)")
        ->required()
        ->check(CLI::Range(1, 1'000'000));
    noiseCommand->add_option("--to", noiseTo, "destination IPv4 address (default 255.255.255.255)");
    noiseCommand->add_option("--size", noise.size, "bytes per datagram (default 40)")
        ->check(CLI::Range(std::size_t{0}, kMaxUdpPayload));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);  // prints help, or the error
        return code == 0 ? 0 : kExitUsage;
    }

    if (*noiseCommand) {
        if (*configOption) {
            std::fprintf(stderr, "vantrel-camsim: --config does not go with noise\n");
            return kExitUsage;
        }
        in_addr to{};
        if (inet_pton(AF_INET, noiseTo.c_str(), &to) != 1) {
            std::fprintf(stderr, "vantrel-camsim noise: --to: not an IPv4 address: %s\n", noiseTo.c_str());
            return kExitUsage;
        }
        std::memcpy(noise.to.data(), &to.s_addr, noise.to.size());
        if (static_cast<std::uint64_t>(noise.intervalMs) * noise.count > kMaxNoiseMs) {
            std::fprintf(stderr, "vantrel-camsim noise: --interval-ms times --count must not exceed %llu ms\n",
                         static_cast<unsigned long long>(kMaxNoiseMs));
            return kExitUsage;
        }
    } else if (configPath.empty()) {
        std::fprintf(stderr, "vantrel-camsim: --config is required (see --help)\n");
        return kExitUsage;
    }

    // Block the stop signals before anything is announced, so a SIGTERM right
    // after "ready" is never lost.
    camsim::SignalWatch signals;
    if (!signals.open()) {
        std::fprintf(stderr, "vantrel-camsim: cannot watch signals: %s\n", std::strerror(errno));
        return kExitRuntime;
    }
    if (*noiseCommand) return camsim::runNoise(noise, signals);
    return runCameras(configPath, durationS, verbose, signals);
}
