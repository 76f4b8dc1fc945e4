// The demo as users run it: scripts/demo.sh with a command in place of the
// window, in its LAN of the cameras in scripts/demo-cameras.json.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

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
    // One run of the demo, so every check sees the cameras as provisioning
    // left them: provision, then the name at each address; the command's own
    // exit status (3) must be the script's.
    const std::vector<std::string> addresses = {"10.77.0.50",  "10.77.0.51", "10.77.0.52",
                                                "10.77.0.100", "10.77.0.11", "10.77.0.10"};
    // The command runs as root, also under sudo (where the demo runs it as the user who called sudo).
    std::vector<std::string> argv = {"env",
                                     "-u",
                                     "SUDO_UID",
                                     "QT_QPA_PLATFORM=offscreen",
                                     "VANTREL_BUILD=" VANTREL_BUILD_DIR,
                                     "sh",
                                     VANTREL_DEMO_SCRIPT,
                                     VANTREL_TEST_STEPS,
                                     "3",
                                     VANTREL_CLI,
                                     "provision",
                                     plan,
                                     "--json"};
    for (const std::string& ip : addresses) argv.insert(argv.end(), {";", VANTREL_CLI, "get", ip, "2.4"});
    auto demo = Start(argv, Launch{});
    ASSERT_TRUE(demo);
    ASSERT_EQ(demo->Wait(std::chrono::seconds(240)), 3) << demo->Output();
    const std::string out = demo->Output();
    // Each step's output, and its exit status after "== exit ".
    std::vector<std::pair<std::string, int>> steps;
    for (std::size_t at = 0, end; (end = out.find("== exit ", at)) != std::string::npos; at = out.find('\n', end) + 1)
        steps.emplace_back(out.substr(at, end - at), std::atoi(out.c_str() + end + 8));
    ASSERT_EQ(steps.size(), 1 + addresses.size()) << out;

    EXPECT_EQ(steps[0].second, 0) << out;
    const json rows = json::parse(steps[0].first, nullptr, false);
    ASSERT_TRUE(rows.is_array()) << out;
    std::map<std::string, std::string> results;
    for (const json& row : rows) results[row.value("hwAddrText", "")] = row.value("result", "");
    const std::map<std::string, std::string> verified = {{"02:e5:a1:31:0a:05", "verified"},
                                                         {"02:e5:a1:4d:11:27", "verified"},
                                                         {"02:e5:a1:1a:00:5a", "verified"},
                                                         {"02:e5:a1:6a:07:49", "verified"}};
    EXPECT_EQ(results, verified) << out;

    // The pool's first address goes to the camera set to DHCP; the old address no longer answers.
    const std::vector<std::string> names = {"Lobby_East\n", "Dock_East\n", "Rack_Room\n", "Parking_L2\n",
                                            "Reception\n"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(steps[1 + i].first, names[i]) << addresses[i] << out;
        EXPECT_EQ(steps[1 + i].second, 0) << addresses[i] << out;
    }
    EXPECT_EQ(steps.back().first, "") << out;
    EXPECT_NE(steps.back().second, 0) << out;
}

}  // namespace
