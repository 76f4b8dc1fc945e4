// Multicast DNS discovery over real sockets: emulated cameras, a real
// avahi-daemon beside the pc and as a camera, link-local routes, a busy LAN.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "avahi.h"
#include "camera_lan.h"
#include "scanner.h"
#include "routes.h"
#include "test_lan.h"
#include "trace_capture.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class MdnsLan : public CameraLan {
protected:
    std::string Routes(const std::string& host) {
        std::string out;
        lan.Run(host, {"ip", "-4", "route", "show"}, &out);
        return out;
    }
};

EmulatedCamera MdnsCamera(const std::string& name, const std::string& hw, const std::string& ip) {
    EmulatedCamera c{.name = name, .hwAddr = hw, .ip = ip, .gateway = "10.77.0.1"};
    c.drovik = false;
    c.mdns = true;
    return c;
}

TEST_F(MdnsLan, CamerasAnsweringMdnsFollowTheBroadcastOnes) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 15)));

    EmulatedCamera lobby{.name = "Lobby", .hwAddr = "02:e5:a1:00:00:05", .ip = "10.77.0.10"};
    EmulatedCamera both{.name = "Both", .hwAddr = "02:e5:a1:00:00:45", .ip = "10.77.0.11", .httpPort = 8000};
    both.mdns = true;
    EmulatedCamera gate = MdnsCamera("Gate", "02:e5:a1:00:00:85", "10.77.0.12");
    gate.httpPort = 8080;
    gate.dhcp = 1;
    gate.productCode = "1a0";
    EmulatedCamera yard = MdnsCamera("Yard", "02:e5:a1:00:00:c5", "10.77.0.13");
    yard.mdnsOrder = {"txt", "aaaa", "nsec", "srv", "a"};  // TXT first, with records of other types
    EmulatedCamera porch = MdnsCamera("Porch", "02:e5:a1:00:00:d5", "10.77.0.14");
    porch.answerSection = true;  // every record in the answer section, as avahi sends them
    porch.mdnsOrder = {"txt", "srv", "aaaa", "a"};
    EmulatedCamera other = MdnsCamera("Other", "00:11:22:33:44:55", "10.77.0.15");
    auto cams = StartCameras("cams", {lobby, both, gate, yard, porch, other});

    // In the scan's own order: broadcast records first.
    TraceCapture trace;
    const PcScan scan = ScanInPc();
    ASSERT_TRUE(scan.entered);
    std::vector<std::string> order;
    std::vector<int> foundByDrovik;
    for (const CameraRecord& r : scan.records) {
        order.emplace_back(r.name);
        foundByDrovik.push_back(r.foundByDrovik);
    }
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 2), (std::vector<std::string>{"Lobby", "Both"}));
    EXPECT_EQ(std::set<std::string>(order.begin() + 2, order.end()),
              (std::set<std::string>{"Both", "Gate", "Yard", "Porch"}));
    EXPECT_EQ(foundByDrovik, (std::vector<int>{1, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(trace.Contains("Gathering on iface 10.77.0.2"));
    EXPECT_TRUE(trace.Contains("mdns not present") || !trace.Contains("route 169.254"));

    // Every field, through the command-line tool, by IP address.
    const std::string pc = "10.77.0.2";
    json expected = json::array({lobby.Expected(), both.Expected(), both.ExpectedMdns(pc), gate.ExpectedMdns(pc),
                                 yard.ExpectedMdns(pc), porch.ExpectedMdns(pc)});
    json listed = CliScan();
    EXPECT_EQ(listed.size(), expected.size());
    // Both of "Both"'s records share an address; their order is not defined.
    for (const json& record : expected)
        EXPECT_NE(std::find(listed.begin(), listed.end(), record), listed.end()) << record;
    EXPECT_EQ(CliScan(true).size(), expected.size());  // an ordinary user hears them too
}

TEST_F(MdnsLan, LinkLocalCameraGetsItsRouteUnlessTheDnssdLibraryIsThere) {
    lan.AddLan("office");
    lan.AddLan("cameras");
    lan.AddHost("pc", "office", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
    // A second link to the camera switch: each camera answers on both, and is listed once.
    lan.AddHost("pc", "cameras", "eth2", {"192.168.60.3/24"});
    lan.AddHost("cams", "cameras", "eth0", {"169.254.7.7/16", "192.168.60.20/24"});
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera fresh = MdnsCamera("Fresh", "02:e5:a1:00:07:07", "169.254.7.7");
    fresh.subnet = "255.255.0.0";
    EmulatedCamera plain = MdnsCamera("Plain", "02:e5:a1:00:07:20", "192.168.60.20");
    auto cams = StartCameras("cams", {fresh, plain});

    // A library of that name can be loaded: no route.
    json listed = CliScan(false, {}, {"env", "LD_LIBRARY_PATH=" DNSSD_STUB_DIR});
    EXPECT_EQ(listed, json::array({fresh.ExpectedMdns("192.168.60.2"), plain.ExpectedMdns("192.168.60.2")}));
    EXPECT_EQ(Routes("pc").find("169.254.0.0/16"), std::string::npos) << Routes("pc");

    if (void* installed = dlopen("libdns_sd.so.1", RTLD_LAZY)) {
        dlclose(installed);
        GTEST_SKIP() << "libdns_sd.so.1 is installed on this machine: its absence cannot be tested";
    }
    listed = CliScan();
    EXPECT_EQ(listed.size(), 2u);
    EXPECT_EQ(Routes("pc").find("169.254.0.0/16"), std::string::npos) << "vantrel-cli left its route: " << Routes("pc");

    // One scanner, two scans: the first routes 169.254.0.0/16 through the
    // link the camera answered on first, once. Between them the route is
    // released, the camera goes and eth0 gains an alias, so the interface
    // entry that held the flag is now eth0's alias, which is not gathered
    // on. No route may follow from the old flag.
    std::string routes, afterwards;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        CScanner scanner;
        scanner.Scan();
        EXPECT_EQ(scanner.Count(), 2);
        routes = Routes("pc");
        platform::ReleaseAllRoutes();
        cams.reset();
        lan.Run("pc", {"ip", "addr", "add", "10.77.0.3/24", "dev", "eth0"});
        scanner.Scan();
        EXPECT_EQ(scanner.Count(), 0);
        afterwards = Routes("pc");
        platform::ReleaseAllRoutes();
    }));
    EXPECT_NE(routes.find("169.254.0.0/16 dev eth1 proto 163 scope link src 192.168.60.2"), std::string::npos)
        << routes;
    EXPECT_EQ(routes.find("169.254.0.0/16 dev eth0"), std::string::npos) << routes;
    EXPECT_EQ(routes.find("169.254.0.0/16 dev eth2"), std::string::npos) << routes;
    EXPECT_EQ(afterwards.find("169.254.0.0/16"), std::string::npos) << afterwards;
}

TEST_F(MdnsLan, AvahiOnThePcDoesNotHideCameras) {
    if (std::string why = AvahiDaemon::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 11)));
    AvahiDaemon avahi(lan, "pc", "eth0", {});
    ASSERT_TRUE(avahi.Ok());
    EmulatedCamera gate = MdnsCamera("Gate", "02:e5:a1:00:00:85", "10.77.0.10");
    EmulatedCamera lobby{.name = "Lobby", .hwAddr = "02:e5:a1:00:00:05", .ip = "10.77.0.11"};
    auto cams = StartCameras("cams", {gate, lobby});
    EXPECT_EQ(CliScan(), json::array({gate.ExpectedMdns("10.77.0.2"), lobby.Expected()}));
    EXPECT_EQ(CliScan(true).size(), 2u);
}

TEST_F(MdnsLan, AvahiPublishedCameraIsListed) {
    if (std::string why = AvahiDaemon::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    lan.AddLan("lan");
    lan.AddHost("pc", "lan", "eth0", {"10.77.0.2/24"});
    lan.AddHost("avcam", "lan", "eth0", {"10.77.0.30/24"});
    ASSERT_TRUE(lan.Ok());
    // clang-format off
    AvahiDaemon avahi(lan, "avcam", "eth0",
                      {{"Lobby-02e5a1c0ffee", 8081,
                        {"server name=Lobby", "ip addr=10.77.0.30", "subnet=255.255.255.0", "gateway=10.77.0.1",
                         "product name=ZC-100", "dhcp=enabled", "product code=3c", "hw addr=02e5a1c0ffee"}}});
    // clang-format on
    ASSERT_TRUE(avahi.Ok());
    const json expected = {{"name", "Lobby"},
                           {"hwAddrText", "02:e5:a1:c0:ff:ee"},
                           {"hwAddr", "02e5a1c0ffee"},
                           {"ipAddrText", "10.77.0.30"},
                           {"subnetText", "255.255.255.0"},
                           {"gatewayText", "10.77.0.1"},
                           {"productName", "ZC-100"},
                           {"productCode", 60},
                           {"dhcp", 1},
                           {"ipAddr", "10.77.0.30"},
                           {"foundByDrovik", 0},
                           {"httpPort", 8081},
                           {"httpPortText", "8081"},
                           {"webAddr", "10.77.0.30:8081"},
                           {"ifaceAddr", "10.77.0.2"},
                           {"conflict", false}};
    // Avahi holds back an answer until about half a second after its previous
    // one (its own announcements included), which can fall after the scan's
    // quiet time: a user would press Refresh, and so does this test.
    json listed;
    for (int attempt = 0; attempt < 3 && listed != json::array({expected}); ++attempt) listed = CliScan();
    EXPECT_EQ(listed, json::array({expected}));
}

TEST_F(MdnsLan, ChatteringLanEndsTheCollectionLikeSilence) {
    lan.AddBasic(BasicRange(10, 11));
    lan.AddHost("office", "lan", "eth0", {"10.77.0.90/24", "10.77.0.91/24", "10.77.0.92/24"});
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera gate = MdnsCamera("Gate", "02:e5:a1:00:00:85", "10.77.0.10");
    EmulatedCamera yard = MdnsCamera("Yard", "02:e5:a1:00:00:c5", "10.77.0.11");
    yard.extra = {{"mdnsDelayMs", 400}};  // late, but within the quiet time after Gate's answer
    auto cams = StartCameras("cams", {gate, yard});
    // Printers, a storage box and phones: a datagram every 100 ms from each of
    // three senders, for up to 60 s; TXT updates and other services' answers among them.
    auto chatter = lan.Start(
        "office", {VANTREL_CAMSIM, "noise", "--port", "5353", "--to", "224.0.0.251", "--mdns", "--interval-ms", "100",
                   "--count", "600", "--from", "10.77.0.90", "--from", "10.77.0.91", "--from", "10.77.0.92"});
    ASSERT_TRUE(chatter && chatter->WaitForLine("ready", 20s));

    TraceCapture trace;
    const PcScan scan = ScanInPc();
    ASSERT_TRUE(scan.entered);
    std::set<std::string> names;
    for (const CameraRecord& r : scan.records) names.insert(r.name);
    EXPECT_EQ(names, (std::set<std::string>{"Gate", "Yard"}));
    ExpectStreamedTable(scan);
    EXPECT_LT(scan.took, 40s);
    // The office's traffic neither takes slots nor keeps the collection open.
    EXPECT_FALSE(trace.Contains("ended by its 3 s bound"));
    EXPECT_TRUE(trace.Contains("Mdns: datagram from 10.77.0.90 names no camera: no slot"));
    EXPECT_TRUE(trace.Contains("Mdns: datagram from 10.77.0.92 names no camera: no slot"));
    EXPECT_TRUE(trace.Contains("Got 2 mdns replies"));
}

TEST_F(MdnsLan, InterfacesHeardAtOnceKeepInterfaceOrder) {
    // Three links, each with its own cameras: a slow responder on the first,
    // a chattering office on the second.
    for (const char* l : {"lanA", "lanB", "lanC"}) lan.AddLan(l);
    lan.AddHost("pc", "lanA", "eth0", {"10.71.0.2/24"});
    lan.AddHost("pc", "lanB", "eth1", {"10.72.0.2/24"});
    lan.AddHost("pc", "lanC", "eth2", {"10.73.0.2/24"});
    lan.AddHost("camsA", "lanA", "eth0", {"10.71.0.10/24", "10.71.0.11/24"});
    lan.AddHost("camsB", "lanB", "eth0", {"10.72.0.10/24"});
    lan.AddHost("camsC", "lanC", "eth0", {"10.73.0.10/24", "10.73.0.11/24"});
    lan.AddHost("office", "lanB", "eth0", {"10.72.0.90/24"});
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera slow = MdnsCamera("Slow", "02:e5:a1:00:01:01", "10.71.0.10");
    slow.extra = {{"mdnsDelayMs", 300}};
    auto a = StartCameras("camsA", {slow, MdnsCamera("Quick", "02:e5:a1:00:01:02", "10.71.0.11")});
    auto b = StartCameras("camsB", {MdnsCamera("Busy", "02:e5:a1:00:02:01", "10.72.0.10")});
    auto c = StartCameras("camsC", {MdnsCamera("Far1", "02:e5:a1:00:03:01", "10.73.0.10"),
                                    MdnsCamera("Far2", "02:e5:a1:00:03:02", "10.73.0.11")});
    auto chatter = lan.Start("office", {VANTREL_CAMSIM, "noise", "--port", "5353", "--to", "224.0.0.251", "--mdns",
                                        "--interval-ms", "50", "--count", "1200", "--from", "10.72.0.90"});
    ASSERT_TRUE(chatter && chatter->WaitForLine("ready", 20s));

    const PcScan scan = ScanInPc();
    ASSERT_TRUE(scan.entered);
    // Grouped by interface in interface order; within one, in arrival order.
    std::vector<std::string> order;
    for (const CameraRecord& r : scan.records)
        order.push_back(std::string(r.name) + "@" + Key(r).substr(Key(r).rfind('|') + 1));
    EXPECT_EQ(order, (std::vector<std::string>{"Quick@10.71.0.2", "Slow@10.71.0.2", "Busy@10.72.0.2", "Far1@10.73.0.2",
                                               "Far2@10.73.0.2"}));
    ExpectStreamedTable(scan);
}

}  // namespace
