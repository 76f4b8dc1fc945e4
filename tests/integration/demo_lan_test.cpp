// The demo as users run it: scripts/demo.sh with a command in place of the
// window, in its LAN of the cameras in scripts/demo-cameras.json.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "camera_lan.h"

namespace {

using nlohmann::json;

// Provisioning gives new fixed addresses and names to Lobby (the broadcast
// assignment, settings over UDP; its address was the first on the cameras'
// link), Loading_Dock (the broadcast, settings over HTTP only) and Server_Room
// (found by multicast DNS only: assigned over HTTP, from link-local), and
// sets Parking_L2 to DHCP. Each ends verified and answers at its new address;
// an old address is gone, and a camera that stayed still answers.
TEST(DemoLan, ProvisionedCamerasAnswerAtTheirNewAddresses) {
    SKIP_WITHOUT_TEST_LAN();
    TestLan files;  // only its folder: the demo makes its own LAN
    const std::string plan = files.File("demo.csv");
    std::ofstream(plan) << PlanText({
        {Cam("Lobby", "02:e5:a1:31:0a:05", "10.77.0.10"), "10.77.0.50", "255.255.255.0", "10.77.0.1", "Lobby_East"},
        {WebCam("Loading_Dock", "02:e5:a1:4d:11:27", "10.77.0.12"), "10.77.0.51", "255.255.255.0", "10.77.0.1",
         "Dock_East"},
        {WebCam("Server_Room", "02:e5:a1:1a:00:5a", "169.254.23.7"), "10.77.0.52", "255.255.255.0", "10.77.0.1",
         "Rack_Room"},
        {Cam("Parking_L2", "02:e5:a1:6a:07:49", "10.77.0.14"), "dhcp", "", "", ""},
    });
    // One run of the demo, so every check sees the cameras as provisioning left them;
    // the command's own exit status (3) must be the script's.
    const std::string command = R"sh(
        "$0" provision "$1" --json; echo "provision exit $?"
        for ip in 10.77.0.50 10.77.0.51 10.77.0.52 10.77.0.100 10.77.0.11 10.77.0.10; do
            echo "get $ip $("$0" get $ip 2.4 2>/dev/null || echo failed)"
        done
        exit 3)sh";
    // The command runs as root, also under sudo (where the demo runs it as the user who called sudo).
    auto demo = Start({"env", "-u", "SUDO_UID", "QT_QPA_PLATFORM=offscreen", "VANTREL_BUILD=" VANTREL_BUILD_DIR, "sh",
                       VANTREL_DEMO_SCRIPT, "sh", "-c", command, VANTREL_CLI, plan},
                      Launch{});
    ASSERT_TRUE(demo);
    ASSERT_EQ(demo->Wait(std::chrono::seconds(240)), 3) << demo->Output();
    const std::string out = demo->Output();

    const std::size_t end = out.find("provision exit ");
    ASSERT_NE(end, std::string::npos) << out;
    EXPECT_EQ(out.substr(end, 17), "provision exit 0\n") << out;
    const json rows = json::parse(out.substr(0, end), nullptr, false);
    ASSERT_TRUE(rows.is_array()) << out;
    std::map<std::string, std::string> results;
    for (const json& row : rows) results[row.value("hwAddrText", "")] = row.value("result", "");
    const std::map<std::string, std::string> verified = {{"02:e5:a1:31:0a:05", "verified"},
                                                         {"02:e5:a1:4d:11:27", "verified"},
                                                         {"02:e5:a1:1a:00:5a", "verified"},
                                                         {"02:e5:a1:6a:07:49", "verified"}};
    EXPECT_EQ(results, verified) << out;

    // The pool's first address goes to the camera set to DHCP.
    for (const char* line : {"get 10.77.0.50 Lobby_East\n", "get 10.77.0.51 Dock_East\n", "get 10.77.0.52 Rack_Room\n",
                             "get 10.77.0.100 Parking_L2\n", "get 10.77.0.11 Reception\n", "get 10.77.0.10 failed\n"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    }
}

}  // namespace
