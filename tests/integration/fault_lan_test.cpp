// Faults around the scanner, the assignments and the settings access in a
// namespace LAN: cameras and links that vanish mid-way, stray datagrams on the
// reply port, the port held by another program, a second instance at once.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "camera_lan.h"
#include "camera_settings.h"
#include "scanner.h"
#include "trace_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;
using FaultLan = CameraLan;

// A camera that only serves its settings (OID protocol and/or web server on port 80).
EmulatedCamera SettingsCam(const std::string& name, const std::string& hw, const std::string& ip, json extra) {
    EmulatedCamera c = Cam(name, hw, ip, std::move(extra));
    c.drovik = false;
    return c;
}

template <typename Work>
Clock::duration Timed(Work work) {
    const auto start = Clock::now();
    work();
    return Clock::now() - start;
}

std::set<std::string> HwAddrs(const json& listed) {
    std::set<std::string> hw;
    for (const json& r : listed) hw.insert(r["hwAddrText"].get<std::string>());
    return hw;
}

// A camera gone between the scan and the assignment (its camsim ended, or its
// link went down), then the pc's only link down: each assignment ends with
// its failure in bounded time, and no host route outlives it.
TEST_F(FaultLan, VanishedCameraGetsAnAssignmentFailureInBoundedTime) {
    lan.AddBasic(BasicRange(10, 10));
    lan.AddHost("mcam", "lan", "eth0", {"10.77.0.11/24"});
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras("cams", {Cam("Bcast", "02:e5:a1:00:09:01", "10.77.0.10")});
    EmulatedCamera web = Cam("Web", "02:e5:a1:00:09:02", "10.77.0.11", {{"http", true}});
    web.drovik = false;
    web.mdns = true;
    web.httpPort = 8080;
    auto mcam = StartCameras("mcam", {web});

    CScanner scanner;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        scanner.Scan();
        ASSERT_EQ(scanner.Count(), 2);
        cams.reset();
        uint8_t result = 99;
        Clock::duration took = Timed([&] {
            result = scanner.Assign(IndexOf(scanner, "Bcast"), "10.77.0.40", "255.255.255.0", "10.77.0.1", 0, 0);
        });
        EXPECT_EQ(result, 6);  // Receive Error, after one 10 s wait
        EXPECT_LT(took, 25s);
        lan.Run("mcam", {"ip", "link", "set", "eth0", "down"});
        took = Timed([&] {
            result = scanner.Assign(IndexOf(scanner, "Web"), "10.77.0.41", "255.255.255.0", "10.77.0.1", 0, 0);
        });
        EXPECT_EQ(result, 3);  // Assignment Failure, within the 5 s open limit
        EXPECT_LT(took, 15s);
    }));
    std::string route;
    lan.Run("pc", {"ip", "-4", "route", "show", "exact", "10.77.0.11/32"}, &route);
    EXPECT_EQ(route, "") << "the host route outlived the failed assignment";

    // The pc's only link down: the request leaves through no link.
    lan.Run("pc", {"ip", "link", "set", "eth0", "down"});
    uint8_t result = 99;
    Clock::duration took{};
    ASSERT_TRUE(lan.RunInside(
        "pc", [&] { took = Timed([&] { result = scanner.Assign(IndexOf(scanner, "Bcast"), "", "", "", 1, 0); }); }));
    EXPECT_EQ(result, 5);  // Send Error
    EXPECT_LT(took, 10s);
}

// Gone in the middle of a settings read: the camsim ends while the web server
// holds back its answer. The read fails in bounded time with its message, and
// so does the next exchange with the camera that answered before.
TEST_F(FaultLan, VanishedCameraGetsASettingsFailureWithItsMessage) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(20, 21)));
    auto settings = StartCameras(
        "cams",
        {SettingsCam("Still", "02:e5:a1:00:09:03", "10.77.0.20", {{"zorvo", true}, {"http", true}}),
         SettingsCam("Slow", "02:e5:a1:00:09:04", "10.77.0.21", {{"http", true}, {"httpFault", "slowHeaders"}})});
    char lastError[CCameraSettings::kLastError] = {};
    int shown = 0;
    auto access = [&](const std::string& ip) {
        return CCameraSettings(lastError, ip, ip + ":80", [&](const char*, const char*, bool) { ++shown; });
    };
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        char value[64] = "";
        EXPECT_TRUE(access("10.77.0.20").GetCameraOid("2.4", value, sizeof value));
        EXPECT_STREQ(value, "Still");
    }));

    bool read = true;
    Clock::duration took{};
    std::thread reader([&] {
        lan.RunInside("pc", [&] {
            char value[64];
            took = Timed([&] { read = access("10.77.0.21").GetCameraOid("2.4", value, sizeof value); });
        });
    });
    EXPECT_TRUE(settings->WaitForText("http 10.77.0.21:80 GET /get.oid?2.4", 20s));
    settings.reset();
    reader.join();
    EXPECT_FALSE(read);
    EXPECT_STREQ(lastError, "Query for 2.4 failed with -1");
    EXPECT_LT(took, 15s);
    bool written = true;
    ASSERT_TRUE(lan.RunInside(
        "pc", [&] { took = Timed([&] { written = access("10.77.0.20").SetCameraOid("2.4", "Moved"); }); }));
    EXPECT_FALSE(written);
    EXPECT_STREQ(lastError, "Assignment failed with -1");
    EXPECT_LT(took, 15s);
    EXPECT_EQ(shown, 2);
}

// Another host on the LAN waits for the pc's assignment requests, then sends
// datagrams to the reply port that are not the camera's reply: junk, a
// discovery reply, a late reply to an earlier assignment, and, for the camera
// that refuses, a forged "done" with the request's packet ID. Junk of the
// reply's code but not its length also comes from the accepting camera's own
// address. Each camera's own answer leaves 2 s after the request.
TEST_F(FaultLan, StrayDatagramsDoNotAnswerAnAssignment) {
    lan.AddBasic(BasicRange(10, 11));
    lan.AddHost("chatter", "lan", "eth0", {"10.77.0.99/24"});
    ASSERT_TRUE(lan.Ok());
    auto cams = StartCameras(
        "cams", {Cam("Later", "02:e5:a1:00:0a:01", "10.77.0.10", {{"assignDelayMs", 2000}}),
                 Cam("Locked", "02:e5:a1:00:0a:02", "10.77.0.11", {{"assignDelayMs", 2000}, {"password", "other"}})});
    int chatter = -1, asCamera = -1;
    ASSERT_TRUE(lan.RunInside("chatter", [&] { chatter = BoundSocket(43282, true); }));
    ASSERT_TRUE(lan.RunInside("cams", [&] {
        asCamera = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        inet_pton(AF_INET, "10.77.0.10", &at.sin_addr);
        if (bind(asCamera, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
            close(asCamera);
            asCamera = -1;
        }
    }));
    ASSERT_GE(chatter, 0);
    ASSERT_GE(asCamera, 0);
    std::thread strays([&] {
        uint8_t request[128];
        pollfd waiting{chatter, POLLIN, 0};
        const auto deadline = Clock::now() + 60s;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(43283);
        auto send = [&](int fd, const char* address, uint8_t id, uint8_t code, std::size_t size, uint8_t status = 0) {
            std::vector<uint8_t> datagram(size, 0);
            datagram[0] = id;
            if (size > 1) datagram[1] = code;
            if (size > 4) datagram[4] = status;
            inet_pton(AF_INET, address, &to.sin_addr);
            sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        };
        for (int answered = 0; answered < 2 && Clock::now() < deadline && poll(&waiting, 1, 1000) >= 0;) {
            const ssize_t n = waiting.revents ? recv(chatter, request, sizeof request, 0) : 0;
            if (n < 28 || request[1] != 3) continue;  // a discovery request
            ++answered;
            const uint8_t id = request[0];
            if (request[25] == 0x02) {  // Locked: a device that says done for it
                send(chatter, "10.77.0.2", id, 5, 8);
                continue;
            }
            const struct {
                uint8_t idOffset, code;
                std::size_t size;
            } kinds[] = {{1, 0xee, 40}, {2, 0xee, 40}, {3, 0xee, 40}, {4, 2, 120}, {5, 2, 120}, {6, 5, 8}};
            for (const auto& kind : kinds) send(chatter, "10.77.0.255", id + kind.idOffset, kind.code, kind.size);
            for (const std::size_t size : {2, 4, 28, 40}) send(asCamera, "10.77.0.2", id + 7, 5, size);
        }
    });

    TraceCapture trace;
    uint8_t later = 99, locked = 99;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        CScanner scanner;
        scanner.Scan();
        ASSERT_EQ(scanner.Count(), 2);
        later = scanner.Assign(IndexOf(scanner, "Later"), "10.77.0.40", "255.255.255.0", "10.77.0.1", 0, 0);
        locked = scanner.Assign(IndexOf(scanner, "Locked"), "10.77.0.41", "255.255.255.0", "10.77.0.1", 0, 0);
    }));
    strays.join();
    close(chatter);
    close(asCamera);
    EXPECT_STREQ(CScanner::ResultText(later), "Success");
    EXPECT_STREQ(CScanner::ResultText(locked), "Invalid Password");  // the camera's word, not the forger's
    EXPECT_TRUE(cams->WaitForLine("assign 02:e5:a1:00:0a:01 dhcp=0 reboot=0 ip=10.77.0.40", 5s));
    EXPECT_EQ(cams->Output().find("assign 02:e5:a1:00:0a:02"), std::string::npos) << cams->Output();
    // None of them took one of the three reads.
    for (const std::string& line : trace.Lines()) EXPECT_EQ(line.find(": retrying"), std::string::npos) << line;
    EXPECT_TRUE(trace.Contains("Drovik Assign: datagram from 10.77.0.99 is no assignment reply: ignored"));
    EXPECT_TRUE(trace.Contains("Drovik Assign: datagram from 10.77.0.10 is no assignment reply: ignored"));
    EXPECT_TRUE(trace.Contains("Drovik Assign: reply from 10.77.0.99, not from the camera: ignored"));
}

// Another program holds 43283 without SO_REUSEADDR: no broadcast exchange can
// set up its sockets, multicast DNS still works.
TEST_F(FaultLan, ReplyPortHeldByAnotherProgram) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 11)));
    EmulatedCamera bcast = Cam("Bcast", "02:e5:a1:00:0b:01", "10.77.0.10");
    EmulatedCamera mdns = Cam("Mdns", "02:e5:a1:00:0b:02", "10.77.0.11");
    mdns.drovik = false;
    mdns.mdns = true;
    auto cams = StartCameras("cams", {bcast, mdns});

    int holder = -1;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        CScanner scanner;
        scanner.Scan();
        ASSERT_EQ(scanner.Count(), 2);
        holder = BoundSocket(43283, false);
        ASSERT_GE(holder, 0);
        EXPECT_EQ(scanner.Assign(IndexOf(scanner, "Bcast"), "10.77.0.40", "255.255.255.0", "10.77.0.1", 0, 0), 5);
        scanner.Scan();
        ASSERT_EQ(scanner.Count(), 1);
        EXPECT_STREQ(scanner.RecordAt(0).name, "Mdns");
        EXPECT_EQ(scanner.Outcome().portErrno, EADDRINUSE);
    }));
    EXPECT_EQ(CliScan(true), json::array({mdns.ExpectedMdns("10.77.0.2")}));
    // The user learns why the broadcast camera is missing, not only that it is.
    std::string out, errors;
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "assign", bcast.hwAddr, "--dhcp"}, &out, false, 120s, &errors), 10);
    EXPECT_EQ(errors,
              "Cameras that answer the broadcast cannot be found: UDP port 43283 is not available (Address already "
              "in use); only cameras found by multicast DNS are listed\n"
              "No camera with hardware address 02:e5:a1:00:0b:01 answered.\n");
    close(holder);
    EXPECT_EQ(CliScan().size(), 2u);  // free again
}

// Two units with one hardware address (a cloned camera) at two addresses:
// both listed and marked, the broadcast assignment to that address refused
// before anything is sent, as neither the PC nor the request can tell them apart.
TEST_F(FaultLan, ClonedHardwareAddressListedTwiceAndNotAssigned) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 12)));
    const std::string twin = "02:e5:a1:00:0e:01";
    EmulatedCamera every = Cam("Every", "02:e5:a1:00:0e:c2", "10.77.0.12");
    every.everyPass = true;  // a new challenge in every pass: still one camera
    auto cams = StartCameras("cams", {Cam("Twin A", twin, "10.77.0.10"), Cam("Twin B", twin, "10.77.0.11"), every});

    std::string out, errors;
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "scan", "--json"}, &out, false, 120s, &errors), 0);
    const json listed = json::parse(out, nullptr, false);
    ASSERT_TRUE(listed.is_array() && listed.size() == 3u) << out;
    std::map<std::string, bool> conflict;
    for (const json& r : listed) conflict[r["name"].get<std::string>()] = r["conflict"].get<bool>();
    EXPECT_EQ(conflict, (std::map<std::string, bool>{{"Every", false}, {"Twin A", true}, {"Twin B", true}}));
    EXPECT_EQ(errors, "Two devices answer as " + twin + ": both are listed, assignment refused\n");

    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "assign", twin, "--dhcp"}, &out), 15);
    EXPECT_EQ(out, "Two devices answer with this hardware address: assignment refused\n");
    const std::string plan = lan.File("plan.csv");
    std::ofstream(plan) << "hwaddr,ip,subnet,gateway,name\n" << twin << ",dhcp,,,\n";
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "provision", plan, "--json"}, &out), 1);
    const json rows = json::parse(out, nullptr, false);
    ASSERT_TRUE(rows.is_array() && rows.size() == 1u) << out;
    EXPECT_EQ(rows[0]["code"], 15);
    EXPECT_EQ(rows[0]["result"], "Two devices answer with this hardware address: assignment refused");
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "assign", every.hwAddr, "--dhcp"}, &out), 0);
    EXPECT_TRUE(cams->WaitForText("assign " + every.hwAddr + " dhcp=1", 5s)) << cams->Output();
    EXPECT_EQ(cams->Output().find("assign " + twin), std::string::npos) << cams->Output();
}

// Two programs on one PC, also of two users: scans, assignments and settings
// exchanges at once.
TEST_F(FaultLan, SecondInstanceAtTheSameTime) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 13)));
    EmulatedCamera web = Cam("Web", "02:e5:a1:00:0c:04", "10.77.0.12", {{"http", true}});
    web.drovik = false;
    web.mdns = true;
    web.httpPort = 8080;
    const std::vector<EmulatedCamera> cameras = {
        Cam("One", "02:e5:a1:00:0c:01", "10.77.0.10", {{"assignDelayMs", 1000}}),
        Cam("Two", "02:e5:a1:00:0c:42", "10.77.0.11", {{"assignDelayMs", 1000}}),
        Cam("Fresh", "02:e5:a1:00:0c:83", "0.0.0.0"), web,
        Cam("Set", "02:e5:a1:00:0c:c5", "10.77.0.13", {{"zorvo", true}})};
    auto cams = StartCameras("cams", cameras);
    std::set<std::string> all;
    for (const EmulatedCamera& c : cameras) all.insert(c.hwAddr);
    const std::string cli = lan.Executable(VANTREL_CLI);

    // The window's scanner assigns and reads a setting while an ordinary user scans.
    uint8_t one = 99, viaWeb = 99;
    std::string name;
    std::unique_ptr<LanProcess> scan;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        CScanner scanner;
        scanner.Scan();
        ASSERT_EQ(scanner.Count(), 5);
        scan = lan.Start("pc", {cli, "scan", "--json"}, true);
        one = scanner.Assign(IndexOf(scanner, "One"), "10.77.0.50", "255.255.255.0", "10.77.0.1", 0, 0);
        viaWeb = scanner.Assign(IndexOf(scanner, "Web"), "10.77.0.12", "255.255.255.0", "10.77.0.1", 0, 0);
        char lastError[CCameraSettings::kLastError] = {};
        char value[64] = "";
        CCameraSettings settings(lastError, "10.77.0.13", "10.77.0.13:80", [](const char*, const char*, bool) {});
        if (settings.GetCameraOid("2.4", value, sizeof value)) name = value;
    }));
    EXPECT_EQ(one, 0);
    EXPECT_EQ(viaWeb, 0);
    EXPECT_EQ(name, "Set");
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->Wait(60s), 0);
    EXPECT_EQ(HwAddrs(json::parse(scan->Output(), nullptr, false)), all);

    // Two command-line assignments of two users, a settings write and a scan at once.
    auto root = lan.Start("pc", {VANTREL_CLI, "assign", "02:e5:a1:00:0c:42", "--ip", "10.77.0.51", "--subnet",
                                 "255.255.255.0", "--gateway", "10.77.0.1"});
    auto user = lan.Start("pc",
                          {cli, "assign", "02:e5:a1:00:0c:01", "--ip", "10.77.0.52", "--subnet", "255.255.255.0",
                           "--gateway", "10.77.0.1"},
                          true);
    auto set = lan.Start("pc", {cli, "set", "10.77.0.13", "2.4", "Renamed"}, true);
    ASSERT_TRUE(root && user && set);
    EXPECT_EQ(HwAddrs(CliScan()), all);
    EXPECT_EQ(root->Wait(90s), 0);
    EXPECT_EQ(root->Output(), "Success\n");
    EXPECT_EQ(user->Wait(90s), 0);
    EXPECT_EQ(user->Output(), "Success\n");
    EXPECT_EQ(set->Wait(30s), 0);

    std::map<std::string, std::string> listed;
    for (const json& r : CliScan(true))
        if (r["foundByDrovik"] == 1) listed[r["name"]] = r["ipAddrText"];
    EXPECT_EQ(listed["Two"], "10.77.0.51");
    EXPECT_EQ(listed["One"], "10.77.0.52");
    EXPECT_EQ(listed.count("Renamed"), 1u);
}

// A link that goes down in the middle of a scan; then a pc with loopback only.
TEST_F(FaultLan, LinkDownDuringAScanAndLoopbackOnly) {
    lan.AddLan("a");
    lan.AddLan("b");
    lan.AddHost("pc", "a", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "b", "eth1", {"10.88.0.2/24"});
    lan.AddHost("cams", "a", "eth0", {"10.77.0.10/24", "10.77.0.11/24"});
    lan.AddHost("cams2", "b", "eth0", {"10.88.0.10/24"});
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera both = Cam("Both", "02:e5:a1:00:0d:41", "10.77.0.11");
    both.mdns = true;
    auto cams = StartCameras("cams", {Cam("Near", "02:e5:a1:00:0d:01", "10.77.0.10"), both});
    EmulatedCamera far = Cam("Far", "02:e5:a1:00:0d:81", "10.88.0.10");
    far.mdns = true;
    auto cams2 = StartCameras("cams2", {far});

    // Down during the broadcast passes, then during the multicast DNS collection.
    for (const auto after : {1500ms, 6000ms}) {
        lan.Run("pc", {"ip", "link", "set", "eth1", "up"});
        const auto start = Clock::now();
        auto scan = lan.Start("pc", {VANTREL_CLI, "scan", "--json"});
        ASSERT_TRUE(scan);
        std::this_thread::sleep_for(after);
        lan.Run("pc", {"ip", "link", "set", "eth1", "down"});
        EXPECT_EQ(scan->Wait(60s), 0) << after.count();
        EXPECT_LT(Clock::now() - start, 45s);
        const json listed = json::parse(scan->Output(), nullptr, false);
        ASSERT_TRUE(listed.is_array()) << scan->Output();
        const std::set<std::string> hw = HwAddrs(listed);
        EXPECT_TRUE(hw.count("02:e5:a1:00:0d:01") && hw.count("02:e5:a1:00:0d:41")) << scan->Output();
    }

    lan.Run("pc", {"ip", "link", "del", "eth0"});
    lan.Run("pc", {"ip", "link", "del", "eth1"});
    const PcScan alone = ScanInPc();
    ASSERT_TRUE(alone.entered);
    EXPECT_TRUE(alone.records.empty());
    EXPECT_LT(alone.took, 10s);
    EXPECT_EQ(CliScan(true), json::array());
}

}  // namespace
