#pragma once
// A test in a namespace LAN with emulated cameras and the command-line tool.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camsim_config.h"
#include "discovery/scanner.h"
#include "test_lan.h"

class CameraLan : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_TEST_LAN(); }
    void TearDown() override {
        for (const std::string& path : configs) std::remove(path.c_str());
    }

    // Starts vantrel-camsim in `host` playing `cameras`; fails the test unless it gets ready.
    std::unique_ptr<LanProcess> StartCameras(const std::string& host, const std::vector<EmulatedCamera>& cameras) {
        nlohmann::json list = nlohmann::json::array();
        for (const EmulatedCamera& c : cameras) list.push_back(c.Json());
        const std::string path = "/tmp/" + lan.Namespace(host) + ".json";
        configs.push_back(path);
        EXPECT_TRUE(WriteCamsimConfig(path, list));
        auto process = lan.Start(host, {VANTREL_CAMSIM, "--config", path, "--duration-s", "300"});
        EXPECT_TRUE(process && process->WaitForLine("ready", std::chrono::seconds(20)))
            << "vantrel-camsim did not start in " << host;
        return process;
    }

    // `prefix` vantrel-cli scan --json `extra` in the pc namespace, parsed.
    nlohmann::json CliScan(bool unprivileged = false, const std::vector<std::string>& extra = {},
                           const std::vector<std::string>& prefix = {}) {
        std::vector<std::string> argv = prefix;
        argv.insert(argv.end(), {unprivileged ? lan.Executable(VANTREL_CLI) : VANTREL_CLI, "scan", "--json"});
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::string out;
        EXPECT_EQ(lan.Run("pc", argv, &out, unprivileged), 0);
        nlohmann::json parsed = nlohmann::json::parse(out, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << out;
        return parsed;
    }

    // One scan by the real scanner inside the pc namespace, in its own order
    // (unsorted), with how long Scan took.
    struct PcScan {
        bool entered = false;
        std::vector<CameraRecord> records;
        std::chrono::steady_clock::duration took{};
    };
    PcScan ScanInPc() {
        PcScan result;
        result.entered = lan.RunInside("pc", [&] {
            CScanner scanner;
            const auto start = std::chrono::steady_clock::now();
            scanner.Scan();
            result.took = std::chrono::steady_clock::now() - start;
            for (int i = 0; i < scanner.Count(); ++i) result.records.push_back(scanner.RecordAt(i));
        });
        return result;
    }

    // The hardware address of `host`'s `link`, "02:11:22:33:44:55".
    std::string HwAddr(const std::string& host, const std::string& link = "eth0") {
        std::string out;
        lan.Run(host, {"cat", "/sys/class/net/" + link + "/address"}, &out);
        return out.substr(0, out.find('\n'));
    }

    TestLan lan;
    std::vector<std::string> configs;
};
