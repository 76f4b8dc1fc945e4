// The broadcast assignment over real sockets: the scanner and vantrel-cli in a
// namespace LAN against emulated cameras that accept, refuse or misbehave.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <thread>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camera_lan.h"
#include "scanner.h"
#include "trace_capture.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

using AssignLan = CameraLan;

// The pc (no default route) and one host playing every camera.
std::vector<EmulatedCamera> BuildLan(TestLan& lan) {
    lan.AddBasic(BasicRange(10, 18));
    return {Cam("Fixed", "02:e5:a1:00:03:01", "10.77.0.10"),
            Cam("Fresh", "02:e5:a1:00:03:02", "0.0.0.0"),
            Cam("Locked", "02:e5:a1:00:03:03", "10.77.0.11", {{"password", "other"}}),
            Cam("Refuser", "02:e5:a1:00:03:04", "10.77.0.12", {{"assignReply", "refuse"}}),
            Cam("Stray", "02:e5:a1:00:03:05", "10.77.0.13", {{"assignWrongIds", 3}}),
            Cam("Code4", "02:e5:a1:00:03:06", "10.77.0.14", {{"assignReply", "code4"}}),
            Cam("Seven", "02:e5:a1:00:03:07", "10.77.0.15", {{"assignReply", "status7"}}),
            Cam("Mute", "02:e5:a1:00:03:08", "10.77.0.16", {{"assignReply", "silent"}}),
            Cam("Slow", "02:e5:a1:00:03:09", "10.77.0.17", {{"assignDelayMs", 10400}}),
            Cam("Later", "02:e5:a1:00:03:0a", "10.77.0.18", {{"assignDelayMs", 1000}}),
            Cam("NoWay", "02:e5:a1:00:03:0b", "0.0.0.0", {{"gateway", "255.255.255.255"}})};
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
        ASSERT_EQ(scanner.Count(), 11);
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
    const std::vector<std::string> fixed = {"--ip",          "10.77.0.61", "--subnet",
                                            "255.255.255.0", "--gateway",  "10.77.0.1"};
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
    const int usage =
        assign({"02:e5:a1:00:03:01", "--ip", "255.255.255.255", "--subnet", "", "--gateway", "10.77.0.1"}, out);
    EXPECT_EQ(usage, 2);
    EXPECT_EQ(out, "");
    // With DHCP the dialog still checks the camera's own texts: a gateway that reads 255.255.255.255 is refused alike.
    std::string errors;
    EXPECT_EQ(lan.Run("pc", {cli, "assign", "02:e5:a1:00:03:0b", "--dhcp"}, &out, true, 120s, &errors), usage);
    EXPECT_EQ(out, "");
    EXPECT_EQ(errors.rfind("Invalid Gateway. Use xxx.xxx.xxx.xxx\n", 0), 0u) << errors;

    json listed = CliScan(true);
    std::map<std::string, std::string> addresses;
    for (const json& r : listed) addresses[r["name"]] = r["ipAddrText"];
    EXPECT_EQ(addresses["Fixed"], "10.77.0.61");
    EXPECT_EQ(addresses["Locked"], "10.77.0.11");
    // The camera refused by the checks got nothing.
    EXPECT_TRUE(cams->WaitForLine("assign 02:e5:a1:00:03:01 dhcp=0 reboot=0 ip=10.77.0.61", 5s));
    EXPECT_EQ(cams->Output().find("assign 02:e5:a1:00:03:0b"), std::string::npos) << cams->Output();
}

// The duplicate question about a device with hardware address `hw` ("02:11:...").
std::string Question(std::string hw) {
    std::replace(hw.begin(), hw.end(), ':', '-');
    return "Device at address " + hw + " is responding to this IP address.  Continue with assignment?\n";
}

TEST_F(AssignLan, CliRefusesAnAddressAnotherDeviceAnswersForUnlessForced) {
    std::vector<EmulatedCamera> cameras = BuildLan(lan);
    lan.AddHost("near", "lan", "eth0", {"10.77.0.50/24"});
    lan.AddHost("outside", "lan", "eth0", {"172.31.0.9/24"});  // in no subnet of the pc
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", cameras);
    auto assign = [&](bool unprivileged, const std::string& hw, const std::string& ip, std::string& out,
                      bool force = false) {
        std::vector<std::string> argv = {unprivileged ? lan.Executable(VANTREL_CLI) : VANTREL_CLI,
                                         "assign",
                                         hw,
                                         "--ip",
                                         ip,
                                         "--subnet",
                                         "255.255.255.0",
                                         "--gateway",
                                         "10.77.0.1"};
        if (force) argv.push_back("--force");
        return lan.Run("pc", argv, &out, unprivileged);
    };
    std::string out;
    // As root, by ARP on every link.
    EXPECT_EQ(assign(false, "02:e5:a1:00:03:01", "10.77.0.50", out), 11);
    EXPECT_EQ(out, Question(HwAddr("near")));
    EXPECT_EQ(assign(false, "02:e5:a1:00:03:01", "172.31.0.9", out), 11);
    EXPECT_EQ(out, Question(HwAddr("outside")));
    EXPECT_EQ(assign(false, "02:e5:a1:00:03:01", "10.77.0.50", out, true), 0);
    EXPECT_EQ(out, "Success\n");
    // Its own address again: not probed, though "near" answers there.
    EXPECT_EQ(assign(false, "02:e5:a1:00:03:01", "10.77.0.50", out), 0);

    // As an ordinary user, by the kernel's resolution: the address the camera host
    // answered the scan from (so the pc holds a STALE entry for it); a free one.
    EXPECT_EQ(assign(true, "02:e5:a1:00:03:07", "10.77.0.10", out), 11);
    EXPECT_EQ(out, Question(HwAddr("cams")));
    EXPECT_EQ(assign(true, "02:e5:a1:00:03:07", "10.77.0.62", out), 0);
    EXPECT_EQ(out, "Success\n");

    std::map<std::string, std::string> listed;
    for (const json& r : CliScan()) listed[r["name"]] = r["ipAddrText"];
    EXPECT_EQ(listed["Fixed"], "10.77.0.50");
    EXPECT_EQ(listed["Seven"], "10.77.0.62");
}

}  // namespace

namespace {

// Host routes (/32) in the pc's main table: the lines without a prefix length.
std::string HostRoutes(TestLan& lan) {
    std::string out, hosts;
    lan.Run("pc", {"ip", "-4", "route", "show"}, &out);
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        const std::string first = line.substr(0, line.find(' '));
        if (!line.empty() && first.find('/') == std::string::npos && first != "default") hosts += line + "\n";
        at = end == std::string::npos ? out.size() : end + 1;
    }
    return hosts;
}

// The pc on an office LAN (eth0) and a camera LAN (eth1). On the office LAN a
// decoy holds the same link-local address as the camera LAN's fresh camera.
void BuildTwoLans(TestLan& lan) {
    lan.AddLan("office");
    lan.AddLan("cameras");
    lan.AddHost("pc", "office", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
    lan.AddHost("decoy", "office", "eth0", {"169.254.7.7/16"});
    lan.AddHost("cams", "cameras", "eth0",
                {"192.168.60.20/24", "192.168.60.21/24", "192.168.60.22/24", "192.168.60.23/24", "192.168.60.24/24",
                 "192.168.60.25/24", "169.254.7.7/16"});
}

// The two LANs with a camera for each outcome of the HTTP assignment and the
// decoy; Assign() runs one on the pc's scanner and checks no host route stays.
class HttpAssignLan : public CameraLan {
protected:
    void SetUp() override {
        CameraLan::SetUp();
        if (IsSkipped()) return;
        BuildTwoLans(lan);
        ASSERT_TRUE(lan.Ok());
        EmulatedCamera fresh = WebCam("Fresh", "02:e5:a1:00:04:07", "169.254.7.7");
        fresh.subnet = "255.255.0.0";
        cams = StartCameras(
            "cams", {WebCam("Web", "02:e5:a1:00:04:01", "192.168.60.20"),
                     WebCam("Err", "02:e5:a1:00:04:02", "192.168.60.21", {{"httpFault", "error"}}),
                     WebCam("Locked", "02:e5:a1:00:04:03", "192.168.60.22", {{"httpFault", "unauthorized"}}),
                     WebCam("Broken", "02:e5:a1:00:04:04", "192.168.60.23", {{"httpFault", "status500"}}),
                     WebCam("Gone", "02:e5:a1:00:04:05", "192.168.60.24", {{"http", false}}),
                     WebCam("Slow", "02:e5:a1:00:04:06", "192.168.60.25", {{"httpFault", "slowHeaders"}}), fresh});
        EmulatedCamera decoy = WebCam("Decoy", "02:e5:a1:00:04:77", "169.254.7.7");
        decoy.mdns = false;
        decoys = StartCameras("decoy", {decoy});
        noRoutes = HostRoutes(lan);
    }

    // Scans in the pc, then runs `work` there with the scanner.
    void InPc(const std::function<void()>& work) {
        ASSERT_TRUE(lan.RunInside("pc", [&] {
            scanner.Scan();
            ASSERT_EQ(scanner.Count(), 7);
            work();
        }));
    }
    uint8_t Assign(const char* name, const char* ip, const char* subnet = "255.255.255.0",
                   const char* gateway = "192.168.60.1", uint8_t dhcp = 0, uint8_t reboot = 0) {
        const int i = IndexOf(scanner, name);
        EXPECT_GE(i, 0) << name;
        const uint8_t result = i < 0 ? 99 : scanner.Assign(i, ip, subnet, gateway, dhcp, reboot);
        EXPECT_EQ(HostRoutes(lan), noRoutes) << name << ": a host route was left behind";
        return result;
    }

    std::unique_ptr<LanProcess> cams, decoys;
    std::string noRoutes;
    CScanner scanner;
};

TEST_F(HttpAssignLan, EveryFormOfTheRequestAndTypedValuesArriveAsTyped) {
    InPc([&] {
        // The four forms of the request, exactly as the camera receives them.
        const std::string head =
            "http 192.168.60.20:8080 GET /set.oid?OidTB3.6.2=192.168.60.1&OidTB3.6.1=255.255.255.0"
            "&OidTB3.6.10=192.168.60.30&OidTB4.2=";
        const struct {
            uint8_t dhcp, reboot;
            const char* tail;
        } forms[] = {{0, 0, "disabled&OidTR3.6.22=1"},
                     {0, 1, "disabled&OidTR2.11=1"},
                     {1, 0, "enabled&OidTR3.6.22=1"},
                     {1, 1, "enabled&OidTR2.11=1"}};
        for (const auto& form : forms) {
            EXPECT_EQ(Assign("Web", "192.168.60.30", "255.255.255.0", "192.168.60.1", form.dhcp, form.reboot), 0);
            EXPECT_TRUE(cams->WaitForLine(head + form.tail, 5s)) << form.tail;
        }
        // Typed values arrive as typed: a space, '#' and '&' cannot break or extend the request, '+' stays.
        EXPECT_EQ(Assign("Web", "1&OidTB2.4=x", "a#b", "GMT+1 x"), 0);
        EXPECT_TRUE(cams->WaitForText("OidTB3.6.2=GMT+1%20x&OidTB3.6.1=a%23b&OidTB3.6.10=1%26OidTB2.4=x&", 5s));
        EXPECT_TRUE(cams->WaitForLine("set 192.168.60.20 3.6.2=GMT+1 x", 5s));
        EXPECT_TRUE(cams->WaitForLine("set 192.168.60.20 3.6.1=a#b", 5s));
        EXPECT_TRUE(cams->WaitForLine("set 192.168.60.20 3.6.10=1&OidTB2.4=x", 5s));
    });
}

TEST_F(HttpAssignLan, RefusalsAndSilenceAreFailuresAndTheHostRouteLastsOnlyTheRequest) {
    InPc([&] {
        EXPECT_EQ(Assign("Err", "192.168.60.31"), 3);
        EXPECT_EQ(Assign("Locked", "192.168.60.32"), 3);
        EXPECT_EQ(Assign("Broken", "192.168.60.33"), 3);
        EXPECT_EQ(Assign("Gone", "192.168.60.34"), 3);

        // The host route stands while the request waits.
        std::string during;
        std::thread watcher([&] {
            for (int i = 0; i < 40 && during.find("192.168.60.25 dev eth1") == std::string::npos; ++i) {
                std::this_thread::sleep_for(100ms);
                during = HostRoutes(lan);
            }
        });
        EXPECT_EQ(Assign("Slow", "192.168.60.35"), 3);
        watcher.join();
        EXPECT_NE(during.find("192.168.60.25 dev eth1 proto 163 scope link src 192.168.60.2"), std::string::npos)
            << during;
    });
}

// 169.254.0.0/16 now leads to the office LAN, where the decoy answers for the
// same address: the request still goes where the camera answered.
TEST_F(HttpAssignLan, RequestGoesWhereTheCameraAnsweredNotWhereTheRouteLeads) {
    InPc([&] {
        lan.Run("pc", {"ip", "route", "flush", "169.254.0.0/16"});
        lan.Run("pc", {"ip", "route", "add", "169.254.0.0/16", "dev", "eth0"});
        EXPECT_EQ(Assign("Fresh", "192.168.60.36"), 0);
        EXPECT_TRUE(cams->WaitForText("http 169.254.7.7:8080 GET /set.oid?", 5s));
        EXPECT_FALSE(decoys->WaitForText("GET", 500ms));
    });
}

TEST_F(AssignLan, CliAssignsViaMulticastDnsAlsoALinkLocalCamera) {
    BuildTwoLans(lan);
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera both = WebCam("Both", "02:e5:a1:00:05:01", "192.168.60.20");
    both.drovik = true;  // listed twice: --via picks the record
    EmulatedCamera fresh = WebCam("Fresh", "02:e5:a1:00:05:07", "169.254.7.7");
    fresh.subnet = "255.255.0.0";
    auto cams = StartCameras("cams", {both, fresh});
    const std::string noRoutes = HostRoutes(lan);

    std::string out;
    // Both move to addresses their host holds (so it answers there): --force.
    EXPECT_EQ(lan.Run("pc",
                      {VANTREL_CLI, "assign", "02:e5:a1:00:05:01", "--via", "mdns", "--ip", "192.168.60.22", "--subnet",
                       "255.255.255.0", "--gateway", "192.168.60.1", "--force"},
                      &out),
              0);
    EXPECT_EQ(out, "Success\n");
    EXPECT_TRUE(
        cams->WaitForText("http 192.168.60.20:8080 GET /set.oid?OidTB3.6.2=192.168.60.1&OidTB3.6.1=255.255.255.0"
                          "&OidTB3.6.10=192.168.60.22&OidTB4.2=disabled&OidTR3.6.22=1",
                          5s));
    EXPECT_EQ(lan.Run("pc",
                      {VANTREL_CLI, "assign", "02:e5:a1:00:05:07", "--via", "mdns", "--ip", "192.168.60.23", "--subnet",
                       "255.255.255.0", "--gateway", "192.168.60.1", "--reboot", "--force"},
                      &out),
              0);
    EXPECT_TRUE(cams->WaitForText("http 169.254.7.7:8080 GET /set.oid?", 5s));
    EXPECT_EQ(HostRoutes(lan), noRoutes);
    // Not found by that protocol.
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "assign", "02:e5:a1:00:05:07", "--via", "drovik", "--dhcp"}, &out), 10);

    std::map<std::string, std::string> listed;
    for (const json& r : CliScan())
        if (r["foundByDrovik"] == 0) listed[r["name"]] = r["ipAddrText"];
    // Both move to addresses their host holds, so their answers come from there.
    EXPECT_EQ(listed["Both"], "192.168.60.22");
    EXPECT_EQ(listed["Fresh"], "192.168.60.23");
}

}  // namespace
