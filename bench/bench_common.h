#pragma once
// What the benchmarks share: a figure's runs summed up as one JSON line, the
// wait for a quiet machine, and namespace LANs of emulated cameras.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "camsim_config.h"
#include "test_lan.h"

namespace bench {

using nlohmann::json;

// A figure's runs: their median, least and greatest, and the runs themselves.
inline json Spread(const std::vector<double>& runs) {
    if (runs.empty()) return nullptr;
    std::vector<double> s = runs;
    std::sort(s.begin(), s.end());
    const std::size_t n = s.size();
    const double median = n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    return {{"median", median}, {"min", s.front()}, {"max", s.back()}, {"runs", runs}};
}

// "median (min-max)" of a Spread, scaled, for the tables on the terminal.
inline std::string Text(const json& spread, double scale = 1, int decimals = 3) {
    if (spread.is_null()) return "-";
    char text[96];
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, spread["median"].get<double>() * scale, decimals,
                  spread["min"].get<double>() * scale, decimals, spread["max"].get<double>() * scale);
    return text;
}

// Base names of the programs running now.
inline std::vector<std::string> Programs() {
    std::vector<std::string> names;
    DIR* proc = opendir("/proc");
    if (!proc) return names;
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string argv0;
        std::getline(std::ifstream(std::string("/proc/") + e->d_name + "/cmdline"), argv0, '\0');
        if (!argv0.empty()) names.push_back(argv0.substr(argv0.rfind('/') + 1));
    }
    closedir(proc);
    return names;
}

// Test runs and compilers load both cores: no figure is taken beside them.
inline bool Loaded() {
    for (const std::string& name : Programs())
        if (name == "ctest" || name == "cc1plus") return true;
    return false;
}

// Fuzzers (one core each) that run now; they are noted with the figure.
inline json Fuzzers() {
    json found = json::array();
    for (const std::string& name : Programs())
        if (name.size() > 5 && name.ends_with("_fuzz") && std::find(found.begin(), found.end(), name) == found.end())
            found.push_back(name);
    return found;
}

// Takes one figure on a quiet machine: waits while a test run or a compiler
// is on, and takes the figure again when one ran meanwhile (looked for every
// half second).
template <typename Measure>
json Quietly(Measure measure) {
    for (;;) {
        for (bool told = false; Loaded(); told = true) {
            if (!told) std::cerr << "waiting for the test run or compiler to end...\n";
            std::this_thread::sleep_for(std::chrono::seconds(10));
        }
        json fuzzers = Fuzzers();
        std::atomic<bool> done{false}, disturbed{false};
        std::thread watch([&] {
            while (!done) {
                if (Loaded()) disturbed = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
        });
        json figure = measure();
        done = true;
        watch.join();
        if (disturbed || Loaded()) {
            std::cerr << "a test run or compiler ran during the figure: taking it again\n";
            continue;
        }
        for (const json& name : Fuzzers())
            if (std::find(fuzzers.begin(), fuzzers.end(), name) == fuzzers.end()) fuzzers.push_back(name);
        figure["fuzzersRunning"] = fuzzers;
        return figure;
    }
}

// The results file: one JSON object a line, appended.
class Results {
public:
    explicit Results(const std::string& path) {
        if (!path.empty()) out_.open(path, std::ios::app);
    }
    void Write(const json& line) {
        if (out_.is_open()) out_ << line.dump() << std::endl;
    }

private:
    std::ofstream out_;
};

// The median of some values (0 for none).
inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    return Spread(v)["median"];
}

enum class Answer { Range, Every, Mdns };

// What the cameras are there for: to be found, or also to be provisioned.
// Provisioned, every camera's address is on its host, where its settings
// answer (over UDP, and over HTTP for the multicast DNS ones, which are
// assigned that way), and a camera given a new address takes it there.
enum class Role { Found, Provisioned };

// A pc with `interfaces` links eth0, eth1, ..., each on a LAN of its own with
// a camera host and its emulator; camera i is on LAN i % interfaces. Broadcast
// cameras carry their address in their replies only (unless provisioned);
// multicast DNS cameras answer from their own address, which is therefore on
// their host.
class CameraLan {
public:
    // `cameras` answer as `answer` says; `mdnsCameras` more beside them answer multicast DNS only.
    CameraLan(int cameras, int interfaces, Answer answer, int mdnsCameras = 0, Role role = Role::Found) {
        const bool provisioned = role == Role::Provisioned;
        this->cameras.resize(static_cast<std::size_t>(cameras + mdnsCameras));
        for (int k = 0; k < interfaces; ++k) {
            const std::string n = std::to_string(k), net = "10." + std::to_string(80 + k) + ".";
            lan.AddLan("lan" + n);
            lan.AddHost("pc", "lan" + n, "eth" + n, {net + "0.2/16"});
            std::vector<std::string> addresses = {net + "0.10/16"};
            json list = json::array();
            for (int i = k; i < cameras + mdnsCameras; i += interfaces) {
                const bool mdnsOnly = answer == Answer::Mdns || i >= cameras;
                char hw[32], ip[32];
                // The last byte spread over the four request ranges.
                std::snprintf(hw, sizeof hw, "02:e5:a1:%02x:%02x:%02x", i >> 16, (i >> 8) & 0xff, (i * 37) & 0xff);
                std::snprintf(ip, sizeof ip, "%s%d.%d", net.c_str(), 1 + (i >> 8), i & 0xff);
                EmulatedCamera c{
                    .name = "Bench" + std::to_string(i), .hwAddr = hw, .ip = ip, .everyPass = answer == Answer::Every};
                c.drovik = !mdnsOnly;
                c.mdns = mdnsOnly;
                if (provisioned) c.extra = {{"zorvo", true}, {"http", mdnsOnly}};
                json camera = c.Json();
                if (c.mdns) {
                    // Responders wait 20-120 ms before answering a query for a shared record.
                    camera["mdnsDelayMs"] = 20 + (i * 37) % 101;
                }
                if (c.mdns || provisioned) addresses.push_back(std::string(ip) + "/16");
                list.push_back(camera);
                this->cameras[static_cast<std::size_t>(i)] = std::move(c);
            }
            lan.AddHost("cams" + n, "lan" + n, "eth0", addresses);
            if (!lan.Ok()) break;
            std::vector<std::string> options;
            if (provisioned) options.push_back("--take-addresses");
            camsims_.push_back(StartCamsim(list, &lan, "cams" + n, 1800, options));
            if (!camsims_.back()) break;
        }
        ready_ = lan.Ok() && static_cast<int>(camsims_.size()) == interfaces && !camsims_.empty() && camsims_.back();
        if (!ready_) std::cerr << "test LAN or emulator failed\n";
        // Provisioned cameras print a line for every request they get: read
        // all along, or the pipe fills and the emulator stalls mid-run.
        if (ready_ && provisioned)
            drainer_ = std::thread([this] {
                while (!stop_) {
                    const auto start = std::chrono::steady_clock::now();
                    for (const auto& camsim : camsims_) camsim->WaitForLine("\x01", std::chrono::milliseconds(50));
                    // Back at once from every one: their pipes are closed.
                    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1)) break;
                }
            });
    }
    ~CameraLan() {
        stop_ = true;
        if (drainer_.joinable()) drainer_.join();
    }
    CameraLan(const CameraLan&) = delete;
    CameraLan& operator=(const CameraLan&) = delete;
    bool Ready() const { return ready_; }

    TestLan lan;
    std::vector<EmulatedCamera> cameras;  // camera i as it started

private:
    std::vector<std::unique_ptr<LanProcess>> camsims_;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    std::thread drainer_;
};

// This program's own path, for running it again inside a namespace.
inline std::string Self() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace bench
