// The routes vantrel-cli adds to the PC for a camera: never for a device that
// names an address it did not answer from, never over a route the PC has,
// gone when the run ends (also by SIGINT, SIGTERM or SIGHUP mid-request),
// swept by the next run when a run was killed, and never taken from a run
// that is still going.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camera_lan.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

std::string Slurp(const std::string& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class RouteSafetyLan : public CameraLan {
protected:
    // The pc on an office LAN (eth0) and a camera LAN (eth1), no default
    // route; the camera host holds `addresses` on the camera LAN, one in the
    // pc's subnet there so that it can answer the pc.
    void Build(const std::vector<std::string>& addresses) {
        lan.AddLan("office");
        lan.AddLan("cameras");
        lan.AddHost("pc", "office", "eth0", {"10.77.0.2/24"});
        lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
        lan.AddHost("cams", "cameras", "eth0", addresses);
        ASSERT_TRUE(lan.Ok());
    }

    // vantrel-cli --trace ARGS as root; its traces in `traces`.
    int Cli(const std::vector<std::string>& args, std::string& out, std::string& traces) {
        std::vector<std::string> argv = {VANTREL_CLI, "--trace"};
        argv.insert(argv.end(), args.begin(), args.end());
        return lan.Run("pc", argv, &out, false, 120s, &traces);
    }

    // A file for a started program's standard error, removed with the test.
    std::string TraceFile(const std::string& name) { return lan.File(name + ".trace"); }

    static std::vector<std::string> Sorted(std::vector<std::string> lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    }
};

std::vector<std::string> Assign(const std::string& hw, const std::string& ip) {
    return {"assign", hw, "--via", "mdns", "--ip", ip, "--subnet", "255.255.255.0", "--gateway", "192.168.60.1"};
}

TEST_F(RouteSafetyLan, LyingDevicesAndThePcsOwnRoutesLeaveTheTableAsItWas) {
    Build({"192.168.60.20/24", "192.168.60.21/24", "192.168.1.90/24", "10.77.0.1/24", "192.168.60.40/24",
           "192.168.60.41/24", "192.168.60.42/24", "192.168.60.43/24", "192.168.60.44/24", "192.168.60.45/24"});
    if (HasFatalFailure()) return;
    // Devices whose "ip addr" is no address at all: a port and a path aimed at
    // the PC itself, user-info, a host name, a number out of range, trailing junk.
    const char* const bogus[] = {
        "127.0.0.1:8099/pwn?", "192.168.60.40/set.oid", "root:qivnep@192.168.60.41", "evil.example",
        "256.1.1.1",           "192.168.60.44 x"};
    std::vector<EmulatedCamera> cameras;
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        cameras.push_back(
            Naming(WebCam("Bogus" + n, "02:e5:a1:00:07:2" + n, "192.168.60.4" + n, {{"http", false}}), bogus[i]));
    }
    // "Liar" and "Stray" answer from one address and name another; "Gate"
    // claims the office gateway's address on the camera LAN; the PC reaches
    // "Routed" by a host route of its own, through the camera host.
    EmulatedCamera stray = WebCam("Stray", "02:e5:a1:00:07:02", "192.168.60.21");
    stray.subnet = "255.255.0.0";
    cameras.insert(cameras.end(), {Naming(WebCam("Liar", "02:e5:a1:00:07:01", "192.168.60.20"), "192.168.1.99"),
                                   Naming(stray, "169.254.9.9"), WebCam("Gate", "02:e5:a1:00:07:03", "10.77.0.1"),
                                   WebCam("Routed", "02:e5:a1:00:07:04", "192.168.1.90")});
    auto cams = StartCameras("cams", cameras);
    lan.Route("pc", {"add", "192.168.1.90", "via", "192.168.60.20", "dev", "eth1"});
    const std::string before = PcRoutes();
    std::string out, traces;

    EXPECT_EQ(Cli({"scan", "--json"}, out, traces), 0);
    std::map<std::string, std::string> listed;
    for (const json& r : json::parse(out, nullptr, false)) listed[r.value("name", "")] = r.value("ipAddrText", "");
    EXPECT_EQ(listed["Liar"], "192.168.1.99") << out;
    EXPECT_EQ(listed["Stray"], "169.254.9.9") << out;
    EXPECT_EQ(listed["Gate"], "10.77.0.1") << out;
    EXPECT_EQ(listed.size(), 4u) << out;  // none of the bogus ones
    EXPECT_TRUE(Has(traces, "ParseTXT: ip addr \"127.0.0.1:8099/pwn?\" is no IPv4 address")) << traces;
    EXPECT_EQ(Cli(Assign("02:e5:a1:00:07:20", "192.168.60.30"), out, traces), 10);
    EXPECT_FALSE(cams->WaitForText("GET", 500ms));
    EXPECT_TRUE(Has(traces, "Mdns: 169.254.9.9 answered from 192.168.60.21: no route for it")) << traces;
    EXPECT_FALSE(Has(traces, "route add")) << traces;
    EXPECT_EQ(PcRoutes(), before);

    EXPECT_EQ(Cli(Assign("02:e5:a1:00:07:01", "192.168.60.30"), out, traces), 3);
    EXPECT_EQ(out, "Assignment Failure\n");
    EXPECT_TRUE(Has(traces, "Assign: 192.168.1.99 answered from 192.168.60.20: no host route")) << traces;
    EXPECT_FALSE(Has(traces, "route add")) << traces;
    EXPECT_EQ(PcRoutes(), before);

    // The route rules stop it where the answer's source does not.
    EXPECT_EQ(Cli(Assign("02:e5:a1:00:07:03", "192.168.60.31"), out, traces), 3);
    EXPECT_EQ(out, "Assignment Failure\n");
    EXPECT_TRUE(
        Has(traces, "route add 10.77.0.1/32 dev eth1: refused: 10.77.0.1 lies in the subnet of eth0 (10.77.0.2)"))
        << traces;
    EXPECT_EQ(PcRoutes(), before);

    // The PC's own route is used as it is, and stays.
    EXPECT_EQ(Cli(Assign("02:e5:a1:00:07:04", "192.168.60.32"), out, traces), 0);
    EXPECT_EQ(out, "Success\n");
    EXPECT_TRUE(Has(traces, "route add 192.168.1.90/32 dev eth1: exists")) << traces;
    EXPECT_FALSE(Has(traces, "route delete")) << traces;
    EXPECT_TRUE(cams->WaitForText("http 192.168.1.90:8080 GET /set.oid?", 5s));
    EXPECT_EQ(PcRoutes(), before);
    // None of the others was reached at any address.
    EXPECT_FALSE(Has(cams->Output(), "http 192.168.60.20:")) << cams->Output();
    EXPECT_FALSE(Has(cams->Output(), "http 10.77.0.1:")) << cams->Output();
}

TEST_F(RouteSafetyLan, ExitSignalsMidRequestEndTheRunWithoutItsRoute) {
    Build({"192.168.60.20/24", "192.168.1.90/24", "192.168.1.91/24", "192.168.1.92/24", "192.168.1.93/24",
           "192.168.1.94/24"});
    if (HasFatalFailure()) return;
    // Each sends its reply over 12 s, so the request is outstanding when the signal comes.
    const json trickle = {{"httpFault", "trickle"}};
    auto cams = StartCameras("cams", {WebCam("Int", "02:e5:a1:00:08:01", "192.168.1.90", trickle),
                                      WebCam("Term", "02:e5:a1:00:08:02", "192.168.1.91", trickle),
                                      WebCam("Hup", "02:e5:a1:00:08:03", "192.168.1.92", trickle),
                                      WebCam("Row1", "02:e5:a1:00:08:04", "192.168.1.93", trickle),
                                      WebCam("Row2", "02:e5:a1:00:08:05", "192.168.1.94")});
    const group* users = getgrnam("users");
    const std::string helper = users ? GroupHelper(users->gr_gid) : std::string();
    const std::string before = PcRoutes();

    const struct {
        int signal, status;
        std::string camera, hw;
        bool member;  // by the helper, as a member of its group; else as root
        // clang-format off
    } runs[] = {{SIGINT, 130, "192.168.1.90", "02:e5:a1:00:08:01", false},
                {SIGTERM, 143, "192.168.1.91", "02:e5:a1:00:08:02", false},
                {SIGHUP, 129, "192.168.1.92", "02:e5:a1:00:08:03", true}};
    // clang-format on
    for (const auto& run : runs) {
        if (run.member && helper.empty()) continue;  // no file capabilities here
        std::vector<std::string> argv = {run.member ? lan.Executable(VANTREL_CLI) : VANTREL_CLI, "--trace"};
        for (const std::string& a : Assign(run.hw, "192.168.60.40")) argv.push_back(a);
        const std::string traceFile = TraceFile("assign" + std::to_string(run.signal));
        auto cli = lan.Start("pc", argv, run.member ? RunAs::Member(users->gr_gid) : RunAs(), traceFile);
        ASSERT_TRUE(cams->WaitForText("http " + run.camera + ":8080 GET /set.oid?", 60s)) << Slurp(traceFile);
        EXPECT_EQ(VantrelRoutes(), std::vector<std::string>{run.camera + " dev eth1"});
        cli->Signal(run.signal);
        EXPECT_EQ(cli->Wait(30s), run.status) << run.signal;
        EXPECT_EQ(cli->Output(), "");  // no result claimed
        const std::string way = run.member ? "by " + helper + ": done" : "directly: done";
        EXPECT_TRUE(Has(Slurp(traceFile), "route delete " + run.camera + "/32 dev eth1: " + way)) << Slurp(traceFile);
        EXPECT_EQ(PcRoutes(), before) << run.signal;
    }

    // provision's HTTP rows run side by side: the signal ends both requests in
    // progress, both rows are printed with what they got, and no route stays.
    const std::string plan = lan.File("plan.csv");
    std::ofstream(plan) << "hwaddr,ip,subnet,gateway,name\n"
                           "02:e5:a1:00:08:04,192.168.60.41,255.255.255.0,192.168.60.1,\n"
                           "02:e5:a1:00:08:05,192.168.60.42,255.255.255.0,192.168.60.1,\n";
    const std::string traceFile = TraceFile("provision");
    auto provision = lan.Start("pc", {VANTREL_CLI, "--trace", "provision", plan, "--json"}, false, traceFile);
    ASSERT_TRUE(cams->WaitForText("http 192.168.1.93:8080 GET /set.oid?", 60s));
    ASSERT_TRUE(cams->WaitForText("http 192.168.1.94:8080 GET /set.oid?", 60s));
    const std::vector<std::string> held = VantrelRoutes();
    EXPECT_NE(std::find(held.begin(), held.end(), "192.168.1.93 dev eth1"), held.end());
    provision->Signal(SIGTERM);
    EXPECT_EQ(provision->Wait(60s), 143);
    const json rows = json::parse(provision->Output(), nullptr, false);
    ASSERT_TRUE(rows.is_array() && rows.size() == 2) << provision->Output();
    EXPECT_EQ(rows[0].value("hwAddrText", ""), "02:e5:a1:00:08:04");
    EXPECT_EQ(rows[1].value("hwAddrText", ""), "02:e5:a1:00:08:05");
    for (const json& row : rows) {
        // Status 200 came; the body, still trickling at the client's 10 s, said no %Error: taken as assigned.
        EXPECT_EQ(row.value("result", ""), "assigned by HTTP");
        EXPECT_FALSE(row.value("verified", true));
    }
    EXPECT_TRUE(Has(Slurp(traceFile), "route delete 192.168.1.93/32 dev eth1: directly: done")) << Slurp(traceFile);
    EXPECT_EQ(PcRoutes(), before);
}

TEST_F(RouteSafetyLan, KilledRunsRoutesAreSweptRunningOnesKept) {
    Build({"192.168.60.20/24", "192.168.1.90/24", "169.254.7.7/16"});
    if (HasFatalFailure()) return;
    EmulatedCamera fresh = WebCam("Fresh", "02:e5:a1:00:09:02", "169.254.7.7");
    fresh.subnet = "255.255.0.0";
    auto cams =
        StartCameras("cams", {WebCam("Slow", "02:e5:a1:00:09:01", "192.168.1.90", {{"httpFault", "trickle"}}), fresh});
    const group* users = getgrnam("users");
    const std::string helper = users ? GroupHelper(users->gr_gid) : std::string();
    if (helper.empty()) GTEST_SKIP() << "the helper cannot be given its owner and capabilities here";
    const std::string before = PcRoutes();
    std::string out, traces;

    // A scan that hears a link-local camera routes 169.254.0.0/16 there while it runs.
    EXPECT_EQ(Cli({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(out, "\"169.254.7.7\"")) << out;
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: directly: done")) << traces;
    EXPECT_TRUE(Has(traces, "route delete 169.254.0.0/16 dev eth1: directly: done")) << traces;
    EXPECT_EQ(PcRoutes(), before);

    // A run stopped mid-request still holds its routes: another run's sweep
    // leaves them, and another user may not delete them through the helper.
    auto held = lan.Start("pc", {VANTREL_CLI, "assign", "02:e5:a1:00:09:01", "--via", "mdns", "--ip", "192.168.60.50",
                                 "--subnet", "255.255.255.0", "--gateway", "192.168.60.1"});
    ASSERT_TRUE(cams->WaitForText("http 192.168.1.90:8080 GET /set.oid?", 60s));
    held->Signal(SIGSTOP);
    const std::vector<std::string> heldRoutes = {"169.254.0.0/16 dev eth1", "192.168.1.90 dev eth1"};
    EXPECT_EQ(Sorted(VantrelRoutes()), heldRoutes);
    EXPECT_EQ(Cli({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: exists")) << traces;
    EXPECT_FALSE(Has(traces, "route delete")) << traces;
    EXPECT_EQ(Sorted(VantrelRoutes()), heldRoutes);
    EXPECT_EQ(lan.Run("pc", {helper, "delete-host-route", "192.168.1.90", "eth1"}, &out, RunAs::Member(users->gr_gid)),
              2);
    EXPECT_EQ(out, "refused the route is held by a running Vantrel of another user\n");
    EXPECT_EQ(Sorted(VantrelRoutes()), heldRoutes);

    // Killed, it leaves them behind; the next run's first route removes them first.
    held->Signal(SIGKILL);
    EXPECT_EQ(held->Wait(30s), 128 + SIGKILL);
    EXPECT_EQ(Sorted(VantrelRoutes()), heldRoutes);
    EXPECT_EQ(lan.Run("pc", {lan.Executable(VANTREL_CLI), "--trace", "scan", "--json"}, &out,
                      RunAs::Member(users->gr_gid), 120s, &traces),
              0);
    const std::string stale = ": stale, no running Vantrel holds it: by " + helper + ": done";
    EXPECT_TRUE(Has(traces, "route delete 192.168.1.90/32 dev eth1" + stale)) << traces;
    EXPECT_TRUE(Has(traces, "route delete 169.254.0.0/16 dev eth1" + stale)) << traces;
    EXPECT_EQ(PcRoutes(), before);

    // A link-local route the PC has from elsewhere (NetworkManager's on the
    // office LAN) stays the only one.
    lan.Route("pc", {"add", "169.254.0.0/16", "dev", "eth0", "proto", "static"});
    const std::string withOwn = PcRoutes();
    EXPECT_EQ(Cli({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(out, "\"169.254.7.7\"")) << out;
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: exists")) << traces;
    EXPECT_FALSE(Has(traces, "route delete")) << traces;
    EXPECT_EQ(PcRoutes(), withOwn);
}

}  // namespace
