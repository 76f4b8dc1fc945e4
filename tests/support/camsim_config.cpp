#include "camsim_config.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>

EmulatedCamera Cam(const std::string& name, const std::string& hw, const std::string& ip, nlohmann::json extra) {
    EmulatedCamera c{.name = name, .hwAddr = hw, .ip = ip, .gateway = "10.77.0.1"};
    c.extra = std::move(extra);
    return c;
}

EmulatedCamera WebCam(const std::string& name, const std::string& hw, const std::string& ip, nlohmann::json extra) {
    EmulatedCamera c = Cam(name, hw, ip, std::move(extra));
    c.drovik = false;
    c.mdns = true;
    c.httpPort = 8080;
    if (!c.extra.contains("http")) c.extra["http"] = true;
    return c;
}

EmulatedCamera Naming(EmulatedCamera camera, const std::string& named) {
    // The emulator's own texts, but for the address.
    camera.extra["txt"] = {"server name=" + camera.name,
                           "ip addr=" + named,
                           "subnet=" + camera.subnet,
                           "gateway=" + camera.gateway,
                           "product name=" + camera.productName,
                           camera.dhcp ? "dhcp=enabled" : "dhcp=disabled",
                           "product code=" + camera.productCode,
                           "hw addr=" + camera.HwHex()};
    return camera;
}

bool WriteCamsimConfig(const std::string& path, const nlohmann::json& cameras) {
    std::ofstream out(path);
    out << nlohmann::json{{"cameras", cameras}}.dump(2) << '\n';
    return static_cast<bool>(out);
}

std::unique_ptr<LanProcess> StartCamsim(const nlohmann::json& cameras, TestLan* lan, const std::string& host,
                                        int seconds, const std::vector<std::string>& options) {
    static std::atomic<int> started{0};
    const std::string config =
        "/tmp/vantrel-camsim-" + std::to_string(getpid()) + "-" + std::to_string(started++) + ".json";
    std::unique_ptr<LanProcess> camsim;
    if (WriteCamsimConfig(config, cameras)) {
        std::vector<std::string> argv = {VANTREL_CAMSIM, "--config", config, "--duration-s", std::to_string(seconds)};
        argv.insert(argv.end(), options.begin(), options.end());
        camsim = lan ? lan->Start(host, argv) : StartHere(argv);
        if (camsim && !camsim->WaitForLine("ready", std::chrono::seconds(20))) {
            std::fprintf(stderr, "vantrel-camsim did not start%s%s:\n%s\n", host.empty() ? "" : " in ", host.c_str(),
                         camsim->Output().c_str());
            camsim.reset();
        }
    }
    std::remove(config.c_str());
    return camsim;
}

std::unique_ptr<LanProcess> StartCamsim(const std::vector<EmulatedCamera>& cameras, TestLan* lan,
                                        const std::string& host, int seconds) {
    nlohmann::json list = nlohmann::json::array();
    for (const EmulatedCamera& c : cameras) list.push_back(c.Json());
    return StartCamsim(list, lan, host, seconds);
}
