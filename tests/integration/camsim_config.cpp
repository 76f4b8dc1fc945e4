#include "camsim_config.h"

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
