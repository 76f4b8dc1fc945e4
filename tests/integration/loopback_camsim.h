#pragma once
// A test that runs vantrel-camsim here, on loopback addresses of its own
// (127.0.0.x), without namespaces.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "camsim_config.h"
#include "test_lan.h"

class LoopbackCamsim : public testing::Test {
protected:
    // Starts vantrel-camsim playing `cameras`; fails the test unless it gets ready.
    void Start(const nlohmann::json& cameras) {
        config = "/tmp/vantrel-loopback-" + std::to_string(getpid()) + ".json";
        ASSERT_TRUE(WriteCamsimConfig(config, cameras));
        camsim = StartHere({VANTREL_CAMSIM, "--config", config, "--duration-s", "120"});
        ASSERT_TRUE(camsim && camsim->WaitForLine("ready", std::chrono::seconds(20))) << "vantrel-camsim did not start";
    }
    void TearDown() override {
        camsim.reset();
        if (!config.empty()) std::remove(config.c_str());
    }
    std::string config;
    std::unique_ptr<LanProcess> camsim;
};
