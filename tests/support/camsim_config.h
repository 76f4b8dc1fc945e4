#pragma once
// Emulated cameras for the tests, written as vantrel-camsim's JSON, and the
// one way the tests start vantrel-camsim.
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "test_lan.h"

struct EmulatedCamera {
    std::string name;
    std::string hwAddr;  // "02:e5:a1:00:00:05"
    std::string ip = "0.0.0.0";
    std::string subnet = "255.255.255.0";
    std::string gateway = "0.0.0.0";
    std::string productName = "ZC-100";
    std::string productCode = "3c";
    int dhcp = 0;
    int httpPort = 0;  // 0: the camera sends no port option
    bool everyPass = false;
    bool drovik = true;                               // answers the broadcast protocol
    bool mdns = false;                                // answers multicast DNS from its ip (which must be on its host)
    std::vector<std::string> mdnsOrder{};             // e.g. {"txt", "aaaa", "srv"}; empty: the emulator's default
    bool answerSection = false;                       // every record in the answer section
    nlohmann::json extra = nlohmann::json::object();  // further camsim keys, e.g. {"assignReply", "refuse"}

    std::string HwHex() const {
        std::string hw;
        for (char c : hwAddr)
            if (c != ':') hw += c;
        return hw;
    }

    nlohmann::json Json() const {
        nlohmann::json j = {{"name", name},
                            {"hwAddr", hwAddr},
                            {"ip", ip},
                            {"subnet", subnet},
                            {"gateway", gateway},
                            {"productName", productName},
                            {"productCode", productCode},
                            {"dhcp", dhcp},
                            {"answer", everyPass ? "every" : "range"}};
        if (httpPort) j["httpPort"] = httpPort;
        j["drovik"] = drovik;
        j["mdns"] = mdns;
        if (!mdnsOrder.empty()) j["mdnsOrder"] = mdnsOrder;
        if (answerSection) j["mdnsSection"] = "answer";
        j.update(extra);
        return j;
    }

    // The record vantrel-cli prints for this camera.
    nlohmann::json Expected() const {
        const std::string hw = HwHex();
        const int port = httpPort ? httpPort : 80;
        return {{"name", name},
                {"hwAddrText", hwAddr},
                {"hwAddr", hw},
                {"ipAddrText", ip},
                {"subnetText", subnet},
                {"gatewayText", gateway},
                {"productName", productName},
                {"productCode", std::stoi(productCode, nullptr, 16)},
                {"dhcp", dhcp},
                {"ipAddr", ip},
                {"foundByDrovik", 1},
                {"httpPort", port},
                {"httpPortText", std::to_string(port)},
                {"webAddr", ip + ":" + std::to_string(port)},
                {"ifaceAddr", "0.0.0.0"},
                {"conflict", false}};
    }

    // The record vantrel-cli prints for this camera's multicast DNS answer,
    // heard on the pc's interface `ifaceAddr`.
    nlohmann::json ExpectedMdns(const std::string& ifaceAddr) const {
        nlohmann::json j = Expected();
        j["foundByDrovik"] = 0;
        j["dhcp"] = dhcp ? 1 : 0;
        j["ifaceAddr"] = ifaceAddr;
        return j;
    }
};

// A camera found by the broadcast, with the test LANs' gateway 10.77.0.1.
EmulatedCamera Cam(const std::string& name, const std::string& hw, const std::string& ip,
                   nlohmann::json extra = nlohmann::json::object());
// One found by multicast DNS only, with a web server on port 8080 (unless
// `extra` says otherwise about "http").
EmulatedCamera WebCam(const std::string& name, const std::string& hw, const std::string& ip,
                      nlohmann::json extra = nlohmann::json::object());
// `camera` whose multicast DNS answer names `named` as its address ("ip addr")
// while it answers from its own ip: a device that lies about where it is.
EmulatedCamera Naming(EmulatedCamera camera, const std::string& named);

// Writes {"cameras": [...]} to `path`.
bool WriteCamsimConfig(const std::string& path, const nlohmann::json& cameras);

// vantrel-camsim playing `cameras` (their Json()s) for `seconds`, in `host` of
// `lan`, or here without one (on loopback addresses), with further `options`
// (e.g. "--take-addresses"). Null unless it said "ready" within 20 s; its
// configuration is gone once it has read it.
std::unique_ptr<LanProcess> StartCamsim(const nlohmann::json& cameras, TestLan* lan = nullptr,
                                        const std::string& host = {}, int seconds = 300,
                                        const std::vector<std::string>& options = {});
std::unique_ptr<LanProcess> StartCamsim(const std::vector<EmulatedCamera>& cameras, TestLan* lan = nullptr,
                                        const std::string& host = {}, int seconds = 300);
