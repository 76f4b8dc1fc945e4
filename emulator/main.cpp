// vantrel-camsim: plays any number of cameras on the local network for
// integration tests and benchmarks, or (noise) plays a host that sends junk.

#include "address_taker.h"
#include "camera_config.h"
#include "drovik_responder.h"
#include "event_loop.h"
#include "http_server.h"
#include "mdns_answer_wire.h"
#include "mdns_responder.h"
#include "mdns_wire.h"
#include "noise.h"
#include "zorvo_server.h"

#include "exit_signals.h"
#include "owned_fd.h"

#include <CLI/CLI.hpp>

#include <sys/signalfd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using camsim::Complain;
using camsim::kExitRuntime;
using camsim::kExitUsage;

// --take-addresses and its --dhcp-pool.
struct Taking {
    bool on = false;
    std::optional<camsim::AddressPool> pool;
};

int RunCameras(const std::string& configPath, double durationS, int signalFd, const Taking& taking) {
    camsim::CameraConfig config = camsim::LoadCameraConfigFile(configPath);
    if (!config.Ok()) return Complain(kExitUsage, "%s: %s", configPath.c_str(), config.error.c_str());
    for (std::size_t i = 0; i < config.cameras.size(); ++i) {
        const camsim::mdns::Answer answer = camsim::mdns::BuildAnswer(config.cameras[i]);
        if (config.cameras[i].mdns && !answer.Ok()) {
            return Complain(kExitUsage, "%s: cameras[%zu]: its mDNS answer cannot be built: %s", configPath.c_str(), i,
                            answer.error.c_str());
        }
    }
    auto local = camsim::ListLocalAddresses();
    if (!local) return Complain(kExitRuntime, "cannot read the interfaces: %s", std::strerror(errno));

    camsim::EventLoop loop;
    loop.StopOn(signalFd);
    auto any = [&](bool camsim::Camera::*service) {
        return std::any_of(config.cameras.begin(), config.cameras.end(), [&](const auto& c) { return c.*service; });
    };

    // config.cameras is the camera state the discovery, mDNS and web services
    // share: an assignment (broadcast or web) shows in the next answers.
    // The discovery port is only taken when some camera answers there; it
    // also carries the broadcast assignment, which needs a discovery nonce.
    std::unique_ptr<camsim::DrovikResponder> drovik;
    std::unique_ptr<camsim::MdnsResponder> mdns;
    std::optional<camsim::AddressTaker> taker;
    if (taking.on) taker.emplace(config.cameras, *local, taking.pool);
    std::string error;
    if (any(&camsim::Camera::drovik)) {
        drovik = std::make_unique<camsim::DrovikResponder>(config.cameras, *local, loop);
        if (!drovik->Open(error)) {
            return Complain(kExitRuntime, "discovery port %u: %s", camsim::drovik::kRequestPort, error.c_str());
        }
        loop.Watch(drovik->Fd(), [&] { drovik->OnReadable(); });
    }

    // Each OID and each web camera has its own socket on its own address.
    std::vector<std::unique_ptr<camsim::ZorvoServer>> zorvo;
    std::vector<std::unique_ptr<camsim::HttpServer>> web;
    for (std::size_t i = 0; i < config.cameras.size(); ++i) {
        camsim::Camera& cam = config.cameras[i];
        const std::string ip = camsim::Dotted(cam.ip);
        if (cam.zorvo && !zorvo.emplace_back(std::make_unique<camsim::ZorvoServer>(cam))->Open(error)) {
            return Complain(kExitRuntime, "cameras[%zu] (%s): OID port %s:%u: %s", i, cam.name.c_str(), ip.c_str(),
                            camsim::zorvo::kPort, error.c_str());
        }
        if (cam.http && !web.emplace_back(std::make_unique<camsim::HttpServer>(cam, loop))->Open(error)) {
            return Complain(kExitRuntime, "cameras[%zu] (%s): web port %s:%u: %s", i, cam.name.c_str(), ip.c_str(),
                            cam.httpPort.value_or(80), error.c_str());
        }
    }
    for (auto& server : zorvo) loop.Watch(server->Fd(), [s = server.get()] { s->OnReadable(); });
    for (auto& server : web) loop.Watch(server->Fd(), [s = server.get()] { s->OnReadable(); });

    // A camera given a new address by the broadcast answers OID requests
    // there. One that takes its address on this host is followed there by its
    // web server and mDNS answers too, whichever way it was given.
    auto follow = [&](std::size_t camera) {
        const camsim::Camera& cam = config.cameras[camera];
        std::string why;
        for (auto& server : zorvo) {
            if (server->Serves(cam) && !server->Follow(why)) {
                Complain(0, "cameras[%zu] (%s): OID port stays: %s", camera, cam.name.c_str(), why.c_str());
            }
        }
        if (!taker) return;
        for (auto& server : web) {
            if (server->Serves(cam) && !server->Follow(why)) {
                Complain(0, "cameras[%zu] (%s): web port stays: %s", camera, cam.name.c_str(), why.c_str());
            }
        }
        if (mdns) mdns->Follow(camera);
    };
    // Taken once the assignment's replies have left from the old address, and
    // outside the web server's own request.
    auto take = [&](std::size_t camera, unsigned afterMs) {
        loop.At(camsim::EventLoop::Clock::now() + std::chrono::milliseconds(afterMs), [&, camera] {
            if (taker->Take(camera)) follow(camera);
        });
    };
    if (drovik) {
        drovik->OnApplied([&](std::size_t camera) {
            if (!taker) return follow(camera);
            take(camera, config.cameras[camera].assignDelayMs);
        });
    }
    for (std::size_t i = 0, w = 0; taker && i < config.cameras.size(); ++i) {
        if (config.cameras[i].http) web[w++]->OnAddressWrite([&, i] { take(i, 0); });
    }

    // The mDNS port is only taken when some camera answers there.
    if (any(&camsim::Camera::mdns)) {
        mdns = std::make_unique<camsim::MdnsResponder>(config.cameras, *local, loop);
        for (std::size_t i : mdns->NotLocal()) {
            Complain(0,
                     "warning: cameras[%zu] (%s): %s is not an address of this host, so it cannot answer mDNS "
                     "from it; it answers no mDNS",
                     i, config.cameras[i].name.c_str(), camsim::Dotted(config.cameras[i].ip).c_str());
        }
        if (!mdns->Open(error)) return Complain(kExitRuntime, "mDNS port %u: %s", camsim::mdns::kPort, error.c_str());
        loop.Watch(mdns->Fd(), [&] { mdns->OnReadable(); });
    }

    camsim::Say("ready");
    auto duration =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(durationS));
    if (!loop.Run(std::chrono::steady_clock::now() + duration)) {
        return Complain(kExitRuntime, "poll failed: %s", std::strerror(errno));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Plays the Zorvo cameras of --config for tests, benchmarks and the demo, logging each web request,\n"
        "OID write and assignment to stdout. Prints \"ready\" once it listens; stops on SIGTERM, SIGINT,\n"
        "SIGHUP or after --duration-s.",
        "vantrel-camsim"};
    app.set_version_flag("--version", "vantrel-camsim " VANTREL_VERSION);

    std::string configPath;
    double durationS = 600;
    auto* configOption =
        app.add_option("--config", configPath, "JSON file describing the cameras")->check(CLI::ExistingFile);
    app.add_option("--duration-s", durationS, "stop after this many seconds (default 600)")
        ->check(CLI::Range(0.001, 86400.0));

    Taking taking;
    std::string poolText;
    auto* takeOption = app.add_flag("--take-addresses", taking.on,
                                    "a camera given a new address takes it on this host (the link of its old one) "
                                    "and its services answer there; needs CAP_NET_ADMIN");
    auto* poolOption =
        app.add_option("--dhcp-pool", poolText,
                       "FIRST-LAST: with --take-addresses, a camera set to DHCP takes the first of these addresses "
                       "that no other camera holds")
            ->needs(takeOption);

    camsim::NoiseOptions noise;
    std::string noiseTo = "255.255.255.255";
    auto* noiseCommand =
        app.add_subcommand("noise", "send junk datagrams, or other hosts' mDNS, as a misbehaving or busy host would");
    noiseCommand->add_option("--port", noise.port, "destination UDP port")->required()->check(CLI::Range(1, 65535));
    noiseCommand->add_option("--interval-ms", noise.intervalMs, "time between rounds; 0 sends back to back")
        ->required()
        ->check(CLI::Range(0, 60'000));
    noiseCommand
        ->add_option("--count", noise.count, "number of rounds (one datagram per link, or per --from address, each)")
        ->required()
        ->check(CLI::Range(1, 1'000'000));
    noiseCommand->add_option("--to", noiseTo, "destination IPv4 address (default 255.255.255.255)");
    noiseCommand->add_flag("--mdns", noise.mdns, "send an office's mDNS, from the destination port, instead of junk");
    std::vector<std::string> noiseFrom;
    noiseCommand->add_option("--from", noiseFrom, "local sender address; each round sends one datagram from each");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);  // prints help, or the error
        return code == 0 ? 0 : kExitUsage;
    }

    if (*noiseCommand) {
        if (*configOption) return Complain(kExitUsage, "--config does not go with noise");
        if (!camsim::ParseIpv4(noiseTo, noise.to)) {
            return Complain(kExitUsage, "noise: --to: not an IPv4 address: %s", noiseTo.c_str());
        }
        for (const std::string& text : noiseFrom) {
            if (!camsim::ParseIpv4(text, noise.from.emplace_back())) {
                return Complain(kExitUsage, "noise: --from: not an IPv4 address: %s", text.c_str());
            }
        }
    } else if (configPath.empty()) {
        return Complain(kExitUsage, "--config is required (see --help)");
    }
    if (*poolOption && !(taking.pool = camsim::ParseAddressPool(poolText))) {
        return Complain(kExitUsage, "--dhcp-pool: not two IPv4 addresses FIRST-LAST in order: %s", poolText.c_str());
    }

    // Block the stop signals before anything is announced, so a SIGTERM right
    // after "ready" is never lost: the event loop reads them from a signalfd.
    platform::BlockExitSignals();
    const sigset_t stopSignals = platform::ExitSignals();
    platform::OwnedFd signals(signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!signals.valid()) return Complain(kExitRuntime, "cannot watch signals: %s", std::strerror(errno));
    if (*noiseCommand) return camsim::RunNoise(noise, signals.get());
    return RunCameras(configPath, durationS, signals.get(), taking);
}
