// Broadcast discovery over real sockets: the scanner and vantrel-cli in a
// namespace LAN against emulated cameras.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "camera_lan.h"
#include "scanner.h"
#include "test_lan.h"
#include "trace_capture.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

using ScanLan = CameraLan;

// One LAN: the pc (no default route) and two camera hosts.
std::vector<EmulatedCamera> BasicCameras() {
    EmulatedCamera lobby{.name = "Lobby", .hwAddr = "02:e5:a1:00:00:05", .ip = "10.77.0.10", .gateway = "10.77.0.1"};
    EmulatedCamera gate{.name = "Gate West",
                        .hwAddr = "02:e5:a1:00:00:85",
                        .ip = "10.77.0.11",
                        .productName = "ZD-2",
                        .productCode = "1a0",
                        .dhcp = 1,
                        .httpPort = 8080};
    EmulatedCamera every{.name = "Every", .hwAddr = "02:e5:a1:00:00:c1", .ip = "10.77.0.12", .everyPass = true};
    EmulatedCamera other{.name = "Other maker", .hwAddr = "00:11:22:33:44:55", .ip = "10.77.0.13"};
    EmulatedCamera noAddress{.name = "New", .hwAddr = "02:e5:a1:00:00:40", .subnet = "0.0.0.0"};
    return {lobby, gate, every, other, noAddress};
}

EmulatedCamera Yard() {
    return {
        .name = "Yard", .hwAddr = "02:e5:a1:00:00:f0", .ip = "10.77.0.20", .productName = "ZC-7", .productCode = "7"};
}

void BuildBasicLan(TestLan& lan) {
    lan.AddBasic(BasicRange(10, 13));
    lan.AddHost("cams2", "lan", "eth0", {"10.77.0.20/24"});
}

json ExpectedBasic() {
    std::vector<EmulatedCamera> cams = BasicCameras();
    // In IP order: the camera without address first; the other maker's camera is not listed.
    return json::array(
        {cams[4].Expected(), cams[0].Expected(), cams[1].Expected(), cams[2].Expected(), Yard().Expected()});
}

TEST_F(ScanLan, CliListsExactlyTheMakersCameras) {
    BuildBasicLan(lan);
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", BasicCameras());
    auto cams2 = StartCameras("cams2", {Yard()});

    EXPECT_EQ(CliScan(false), ExpectedBasic());

    // The same scan from an ordinary user.
    EXPECT_EQ(CliScan(true), ExpectedBasic());

    // The text list, by name.
    std::string out;
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "scan", "--sort", "name"}, &out), 0);
    EXPECT_EQ(out,
              "Camera Name\tType\tHardware Address\tIP Address\n"
              "Every\tZC-100\t02:e5:a1:00:00:c1\t10.77.0.12\n"
              "Gate West\tZD-2\t02:e5:a1:00:00:85\t10.77.0.11\n"
              "Lobby\tZC-100\t02:e5:a1:00:00:05\t10.77.0.10\n"
              "New\tZC-100\t02:e5:a1:00:00:40\t0.0.0.0\n"
              "Yard\tZC-7\t02:e5:a1:00:00:f0\t10.77.0.20\n");
}

// Cameras on the pc's subnet answer by unicast, which the kernel hands to one
// socket only: two scans at once on one PC must take turns, across users too.
TEST_F(ScanLan, TwoScansAtOnceEachListEveryCamera) {
    BuildBasicLan(lan);
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", BasicCameras());
    auto cams2 = StartCameras("cams2", {Yard()});

    auto first = lan.Start("pc", {VANTREL_CLI, "scan", "--json"});
    ASSERT_TRUE(first);
    EXPECT_EQ(CliScan(true), ExpectedBasic());
    ASSERT_EQ(first->Wait(60s), 0);
    EXPECT_EQ(json::parse(first->Output(), nullptr, false), ExpectedBasic());
}

TEST_F(ScanLan, ScannerTracesRepliesAndDuplicates) {
    BuildBasicLan(lan);
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", BasicCameras());
    auto cams2 = StartCameras("cams2", {Yard()});

    TraceCapture trace;
    const PcScan scan = ScanInPc();
    ASSERT_TRUE(scan.entered);
    ASSERT_EQ(scan.records.size(), 5u);
    EXPECT_STREQ(scan.records[0].name, "Lobby");  // arrival order before any sort
    // Passes 1-4 draw 2, 3, 2 and 2 replies; "Every" answers each of them.
    EXPECT_TRUE(trace.Contains("Got 9 drovik replies"));
    int duplicates = 0;
    for (const std::string& line : trace.Lines())
        if (line.find("/02:e5:a1:00:00:c1 is a duplicate") != std::string::npos) ++duplicates;
    EXPECT_EQ(duplicates, 3);
    EXPECT_TRUE(trace.Contains("Drovik: receive buffer "));
}

TEST_F(ScanLan, SecondLanWithoutAddressOrDefaultRoute) {
    lan.AddLan("office");
    lan.AddLan("cameras");
    lan.AddHost("pc", "office", "eth0", {"10.77.1.2/24"});
    lan.Route("pc", {"add", "default", "via", "10.77.1.1"});
    lan.AddHost("pc", "cameras", "eth1", {});  // the pc is not configured for the camera LAN
    lan.AddHost("officecam", "office", "eth0", {"10.77.1.10/24"});
    // Camera LAN hosts answer the pc's borrowed source address on their own link.
    lan.AddHost("camlan", "cameras", "eth0", {"192.168.50.10/24"});
    lan.Route("camlan", {"add", "default", "dev", "eth0"});
    ASSERT_TRUE(lan.Ok());

    EmulatedCamera office{.name = "Office", .hwAddr = "02:e5:a1:00:01:01", .ip = "10.77.1.10"};
    EmulatedCamera configured{.name = "Configured", .hwAddr = "02:e5:a1:00:02:02", .ip = "192.168.50.10"};
    EmulatedCamera fresh{.name = "Fresh", .hwAddr = "02:e5:a1:00:02:c3", .subnet = "0.0.0.0"};
    auto a = StartCameras("officecam", {office});
    auto b = StartCameras("camlan", {configured, fresh});

    json expected = json::array({fresh.Expected(), office.Expected(), configured.Expected()});
    EXPECT_EQ(CliScan(false), expected);
    EXPECT_EQ(CliScan(true), expected);
}

// Twice the old limit of 500, a quarter of them answering each pass: no pass
// ends early and every camera is listed, with no note of cameras left out.
TEST_F(ScanLan, ThousandCamerasAreAllListed) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 10)));
    std::vector<EmulatedCamera> many;
    json expected = json::array();  // in IP order, which is the order made
    for (int i = 0; i < 1000; ++i) {
        char hw[32], ip[32];
        std::snprintf(hw, sizeof hw, "02:e5:a1:00:%02x:%02x", i >> 8, i & 0xff);
        std::snprintf(ip, sizeof ip, "10.78.%d.%d", i >> 8, i & 0xff);
        many.push_back({.name = "Cam" + std::to_string(i), .hwAddr = hw, .ip = ip});
        expected.push_back(many.back().Expected());
    }
    auto cams = StartCameras("cams", many);

    std::string out, err;
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "scan", "--json"}, &out, {}, 120s, &err), 0);
    const json listed = json::parse(out, nullptr, false);
    ASSERT_EQ(listed.size(), 1000u);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(err.find("not listed"), std::string::npos) << err;

    // The report form: the same list, and none left out.
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "scan", "--json-report"}, &out), 0);
    const json report = json::parse(out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << out;
    EXPECT_EQ(report.value("cameras", json()), expected);
    EXPECT_EQ(report.value("notListed", -1), 0);
}

TEST_F(ScanLan, ChatteringHostEndsThePassesLikeSilence) {
    BuildBasicLan(lan);
    lan.AddHost("chatter", "lan", "eth0", {"10.77.0.99/24"});
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", BasicCameras());
    auto cams2 = StartCameras("cams2", {Yard()});
    // 60 seconds of a datagram every 100 ms unless stopped.
    auto chatter =
        lan.Start("chatter", {VANTREL_CAMSIM, "noise", "--port", "43283", "--interval-ms", "100", "--count", "600"});
    ASSERT_TRUE(chatter && chatter->WaitForLine("ready", 20s));

    TraceCapture trace;
    const PcScan scan = ScanInPc();
    ASSERT_TRUE(scan.entered);
    std::set<std::string> listed;
    for (const CameraRecord& r : scan.records) listed.insert(r.ipAddrText);
    EXPECT_EQ(scan.records.size(), 5u);
    EXPECT_EQ(listed, (std::set<std::string>{"0.0.0.0", "10.77.0.10", "10.77.0.11", "10.77.0.12", "10.77.0.20"}));
    ExpectStreamedTable(scan);
    // Junk takes slots but holds no flush or pass open: they end as on a quiet LAN.
    EXPECT_LT(scan.took, 40s);
    EXPECT_FALSE(trace.Contains("ended by its"));
}

}  // namespace
