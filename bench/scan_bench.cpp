// Scan capacity and speed: 500 emulated cameras in a namespace LAN, scanned
// by the real scanner, as root and as an ordinary user.
//   vantrel-bench-scan [--runs N] [--cameras N] [--rmem-max BYTES]
// --rmem-max sets net.core.rmem_max for the run (restored afterwards), e.g.
// 212992 to measure a stock Debian limit.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camsim_config.h"
#include "discovery/drovik.h"
#include "discovery/scanner.h"
#include "test_lan.h"
#include "trace_capture.h"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// One scan in this process (already inside the pc namespace): one JSON line.
int ChildScan() {
    TraceCapture trace;
    CScanner scanner;
    const auto start = std::chrono::steady_clock::now();
    scanner.Scan();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    long buffer = 0;
    int passes = 4, capped = 0, interfaces = 0;
    for (const std::string& line : trace.Lines()) {
        std::sscanf(line.c_str(), "Drovik: receive buffer %ld bytes", &buffer);
        if (std::sscanf(line.c_str(), "Drovik: reply table full in pass %d", &passes) == 1) capped = 1;
        // An interface whose datagrams filled the 500 slots ends without the final time-out.
        int total = 0;
        if (std::sscanf(line.c_str(), "num_replies to %d", &total) == 1 && total < 500) ++interfaces;
    }
    // The protocols' own waits: a 0.5 s flush time-out per broadcast pass and a
    // 0.5 s final receive time-out for each pass the full table did not end;
    // then a 0.5 s final receive time-out per interface queried by multicast DNS.
    const double waits = passes * 0.5 + (capped ? passes - 1 : passes) * 0.5 + interfaces * 0.5;
    std::cout << json{{"listed", scanner.Count()}, {"seconds", seconds}, {"waits", waits},
                      {"buffer", buffer}, {"capped", capped}}.dump()
              << std::endl;
    return 0;
}

std::string ReadRmemMax() {
    std::ifstream in("/proc/sys/net/core/rmem_max");
    std::string value;
    in >> value;
    return value;
}

void WriteRmemMax(const std::string& value) { std::ofstream("/proc/sys/net/core/rmem_max") << value << '\n'; }

int Bench(int runs, int cameras, const std::string& rmemMax, const std::string& self) {
    if (std::string why = TestLan::Unavailable(); !why.empty()) {
        std::cerr << "cannot build the test LAN: " << why << '\n';
        return 1;
    }
    const std::string savedRmem = ReadRmemMax();
    if (!rmemMax.empty()) WriteRmemMax(rmemMax);
    std::printf("net.core.rmem_max %s, %d cameras, %d runs each\n", ReadRmemMax().c_str(), cameras, runs);
    std::printf("%-6s %-13s %-4s %-7s %-9s %-8s %-7s %s\n", "mode", "pc side", "run", "listed", "seconds", "waits",
                "ratio", "buffer");

    for (const char* mode : {"range", "every", "mdns"}) {
        const bool mdns = std::strcmp(mode, "mdns") == 0;
        TestLan lan;
        lan.AddLan("lan");
        lan.AddHost("pc", "lan", "eth0", {"10.77.0.2/16"});
        std::vector<std::string> addresses = {"10.77.0.10/16"};
        json list = json::array();
        for (int i = 0; i < cameras; ++i) {
            char hw[32], ip[32];
            // Spread the last byte over the four request ranges.
            std::snprintf(hw, sizeof hw, "02:e5:a1:%02x:%02x:%02x", i >> 16, (i >> 8) & 0xff, (i * 37) & 0xff);
            // Multicast DNS cameras answer from their own address, so those are on the camera host.
            std::snprintf(ip, sizeof ip, "10.77.%d.%d", 1 + (i >> 8), i & 0xff);
            EmulatedCamera c{.name = "Bench" + std::to_string(i), .hwAddr = hw, .ip = ip,
                             .everyPass = std::strcmp(mode, "every") == 0};
            c.drovik = !mdns;
            c.mdns = mdns;
            // Responders wait 20-120 ms before answering a query for a shared record.
            nlohmann::json camera = c.Json();
            if (mdns) camera["mdnsDelayMs"] = 20 + (i * 37) % 101;
            if (mdns) addresses.push_back(std::string(ip) + "/16");
            list.push_back(camera);
        }
        lan.AddHost("cams", "lan", "eth0", addresses);
        const std::string config = "/tmp/" + lan.Namespace("cams") + ".json";
        WriteCamsimConfig(config, list);
        auto camsim = lan.Start("cams", {VANTREL_CAMSIM, "--config", config, "--duration-s", "600"});
        if (!lan.Ok() || !camsim || !camsim->WaitForLine("ready", 20s)) {
            std::cerr << "test LAN or emulator failed\n";
            std::remove(config.c_str());
            WriteRmemMax(savedRmem);
            return 1;
        }
        const std::string program = lan.Executable(self);
        for (bool unprivileged : {false, true}) {
            for (int run = 1; run <= runs; ++run) {
                std::string out;
                lan.Run("pc", {program, "--child"}, &out, unprivileged);
                json r = json::parse(out, nullptr, false);
                if (r.is_discarded()) {
                    std::printf("%-6s %-13s %-4d scan failed: %s\n", mode, unprivileged ? "unprivileged" : "root", run,
                                out.c_str());
                    continue;
                }
                const double seconds = r["seconds"], waits = r["waits"];
                std::printf("%-6s %-13s %-4d %-7d %-9.3f %-8.1f %-7.3f %ld\n", mode,
                            unprivileged ? "unprivileged" : "root", run, r["listed"].get<int>(), seconds, waits,
                            seconds / waits, r["buffer"].get<long>());
            }
        }
        std::remove(config.c_str());
    }
    WriteRmemMax(savedRmem);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3, cameras = 500;
    std::string rmemMax;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--child") return ChildScan();
        if (a == "--runs" && i + 1 < argc) runs = std::stoi(argv[++i]);
        else if (a == "--cameras" && i + 1 < argc) cameras = std::stoi(argv[++i]);
        else if (a == "--rmem-max" && i + 1 < argc) rmemMax = argv[++i];
        else {
            std::cerr << "usage: vantrel-bench-scan [--runs N] [--cameras N] [--rmem-max BYTES]\n";
            return 2;
        }
    }
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';
    return Bench(runs, cameras, rmemMax, self);
}
