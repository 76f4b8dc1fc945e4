// The broadcast assignment over real sockets: the scanner and vantrel-cli in a
// namespace LAN against emulated cameras that accept, refuse or misbehave.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camera_lan.h"
#include "discovery/scanner.h"
#include "trace_capture.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

using AssignLan = CameraLan;

EmulatedCamera Cam(const std::string& name, const std::string& hw, const std::string& ip, json extra = json::object()) {
    EmulatedCamera c{.name = name, .hwAddr = hw, .ip = ip, .gateway = "10.77.0.1"};
    c.extra = std::move(extra);
    return c;
}

// The pc (no default route) and one host playing every camera.
std::vector<EmulatedCamera> BuildLan(TestLan& lan) {
    lan.AddLan("lan");
    lan.AddHost("pc", "lan", "eth0", {"10.77.0.2/24"});
    lan.AddHost("cams", "lan", "eth0",
                {"10.77.0.10/24", "10.77.0.11/24", "10.77.0.12/24", "10.77.0.13/24", "10.77.0.14/24",
                 "10.77.0.15/24", "10.77.0.16/24", "10.77.0.17/24", "10.77.0.18/24"});
    return {Cam("Fixed", "02:e5:a1:00:03:01", "10.77.0.10"),
            Cam("Fresh", "02:e5:a1:00:03:02", "0.0.0.0"),
            Cam("Locked", "02:e5:a1:00:03:03", "10.77.0.11", {{"password", "other"}}),
            Cam("Refuser", "02:e5:a1:00:03:04", "10.77.0.12", {{"assignReply", "refuse"}}),
            Cam("Stray", "02:e5:a1:00:03:05", "10.77.0.13", {{"assignWrongIds", 3}}),
            Cam("Code4", "02:e5:a1:00:03:06", "10.77.0.14", {{"assignReply", "code4"}}),
            Cam("Seven", "02:e5:a1:00:03:07", "10.77.0.15", {{"assignReply", "status7"}}),
            Cam("Mute", "02:e5:a1:00:03:08", "10.77.0.16", {{"assignReply", "silent"}}),
            Cam("Slow", "02:e5:a1:00:03:09", "10.77.0.17", {{"assignDelayMs", 10400}}),
            Cam("Later", "02:e5:a1:00:03:0a", "10.77.0.18", {{"assignDelayMs", 1000}})};
}

int IndexOf(const CScanner& scanner, const std::string& name) {
    for (int i = 0; i < scanner.Count(); ++i)
        if (name == scanner.RecordAt(i).name) return i;
    return -1;
}

// How many trace lines from line `from` on hold `part`.
int Count(const TraceCapture& trace, std::size_t from, const std::string& part) {
    const std::vector<std::string> lines = trace.Lines();
    int n = 0;
    for (std::size_t i = from; i < lines.size(); ++i) n += lines[i].find(part) != std::string::npos;
    return n;
}

TEST_F(AssignLan, EveryResultOfTheBroadcastAssignment) {
    std::vector<EmulatedCamera> cameras = BuildLan(lan);
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", cameras);

    TraceCapture trace;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        CScanner scanner;
        scanner.Scan();
        ASSERT_EQ(scanner.Count(), 10);
        auto assign = [&](const char* name, const char* ip = "10.77.0.60", uint8_t dhcp = 0) {
            const int i = IndexOf(scanner, name);
            EXPECT_GE(i, 0) << name;
            return i < 0 ? 99 : scanner.Assign(i, ip, "255.255.255.0", "10.77.0.1", dhcp, 0);
        };
        EXPECT_EQ(assign("Fixed"), 0);
        EXPECT_EQ(assign("Fresh", "", 1), 0);  // DHCP: the texts go unread
        EXPECT_EQ(assign("Locked"), 4);
        EXPECT_EQ(assign("Refuser"), 3);
        EXPECT_EQ(assign("Code4"), 2);
        EXPECT_EQ(assign("Seven", "10.77.0.70"), 0);

        const std::size_t before = trace.Lines().size();
        EXPECT_EQ(assign("Stray"), 1);
        EXPECT_EQ(Count(trace, before, ": retrying"), 3);
        EXPECT_EQ(Count(trace, before, "Drovik Assign: expected packet ID"), 4);  // and one final line

        EXPECT_EQ(assign("Mute"), 6);
        // Slow answers 0.4 s after the 10 s: too late for its own assignment.
        // Its reply arrives as the next one starts, before that camera's own
        // (1 s after its request), and is flushed away.
        EXPECT_EQ(assign("Slow"), 6);
        const std::size_t mark = trace.Lines().size();
        EXPECT_EQ(assign("Later", "10.77.0.71"), 0);
        EXPECT_EQ(Count(trace, mark, "Drovik Assign"), 0);

        // The next scan lists what the cameras took, and only that.
        scanner.Scan();
        std::map<std::string, std::pair<std::string, int>> listed;
        for (int i = 0; i < scanner.Count(); ++i)
            listed[scanner.RecordAt(i).name] = {scanner.RecordAt(i).ipAddrText, scanner.RecordAt(i).dhcp};
        EXPECT_EQ(listed["Fixed"], std::make_pair(std::string("10.77.0.60"), 0));
        EXPECT_EQ(listed["Fresh"], std::make_pair(std::string("0.0.0.0"), 1));
        EXPECT_EQ(listed["Locked"].first, "10.77.0.11");
        EXPECT_EQ(listed["Refuser"].first, "10.77.0.12");
        EXPECT_EQ(listed["Seven"].first, "10.77.0.70");
        EXPECT_EQ(listed["Later"].first, "10.77.0.71");
    }));
}

TEST_F(AssignLan, CliAssignsAsAnOrdinaryUserAndReportsEachResult) {
    std::vector<EmulatedCamera> cameras = BuildLan(lan);
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", cameras);
    const std::string cli = lan.Executable(VANTREL_CLI);
    auto assign = [&](const std::vector<std::string>& args, std::string& out) {
        std::vector<std::string> argv = {cli, "assign"};
        argv.insert(argv.end(), args.begin(), args.end());
        return lan.Run("pc", argv, &out, true);
    };
    const std::vector<std::string> fixed = {"--ip", "10.77.0.61", "--subnet", "255.255.255.0", "--gateway",
                                            "10.77.0.1"};
    auto with = [&](const std::string& hw) {
        std::vector<std::string> args = {hw};
        args.insert(args.end(), fixed.begin(), fixed.end());
        return args;
    };
    std::string out;
    EXPECT_EQ(assign(with("02:E5:A1:00:03:01"), out), 0);  // any case
    EXPECT_EQ(out, "Success\n");
    EXPECT_EQ(assign({"02:e5:a1:00:03:02", "--dhcp", "--reboot"}, out), 0);
    EXPECT_EQ(assign(with("02:e5:a1:00:03:05"), out), 1);
    EXPECT_EQ(out, "Bad Packet ID\n");
    EXPECT_EQ(assign(with("02:e5:a1:00:03:06"), out), 2);
    EXPECT_EQ(out, "Incorrect Response Code\n");
    EXPECT_EQ(assign(with("02:e5:a1:00:03:04"), out), 3);
    EXPECT_EQ(out, "Assignment Failure\n");
    EXPECT_EQ(assign(with("02:e5:a1:00:03:03"), out), 4);
    EXPECT_EQ(out, "Invalid Password\n");
    EXPECT_EQ(assign(with("02:e5:a1:00:03:08"), out), 6);
    EXPECT_EQ(out, "Receive Error\n");
    EXPECT_EQ(assign(with("02:e5:a1:ff:ff:ff"), out), 10);
    EXPECT_EQ(out, "");
    // Refused by the Assign IP dialog's rules before any scan.
    EXPECT_NE(assign({"02:e5:a1:00:03:01", "--ip", "255.255.255.255", "--subnet", "", "--gateway", "10.77.0.1"}, out), 0);
    EXPECT_EQ(out, "");

    json listed = CliScan(true);
    std::map<std::string, std::string> addresses;
    for (const json& r : listed) addresses[r["name"]] = r["ipAddrText"];
    EXPECT_EQ(addresses["Fixed"], "10.77.0.61");
    EXPECT_EQ(addresses["Locked"], "10.77.0.11");
}

}  // namespace
