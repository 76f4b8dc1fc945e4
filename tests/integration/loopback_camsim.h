#pragma once
// A test that runs vantrel-camsim here, on loopback addresses of its own
// (127.0.0.x), without namespaces.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "camsim_config.h"

class LoopbackCamsim : public testing::Test {
protected:
    // Starts vantrel-camsim playing `cameras`; fails the test unless it gets ready.
    void Start(const nlohmann::json& cameras) {
        camsim = StartCamsim(cameras, nullptr, {}, 120);
        ASSERT_TRUE(camsim) << "vantrel-camsim did not start";
    }
    std::unique_ptr<LanProcess> camsim;
};
