// An ordinary user's vantrel-cli beside vantrel-nethelper. A helper without
// its capabilities, or one the user may not run, leaves that user the
// fallbacks and the PC's routes as they were; a member of the helper's group
// gets the routes and the ARP probe; and no one, the helper asked directly by
// a member or run by root, gets a route the rules forbid.
#include <grp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "camera_lan.h"

namespace {

using namespace std::chrono_literals;

class NetHelperLan : public CameraLan {
protected:
    // The pc: an office LAN (eth0) and a camera LAN (eth1). "Far" keeps its
    // factory address, in no subnet of the pc; "Fresh" is link-local;
    // "outside" answers on the office LAN for an address of no subnet of the
    // pc either. The helper's group is "users" (the package's is vantrel).
    void Build() {
        const group* users = getgrnam("users");
        if (!users) GTEST_SKIP() << "no group users to install the helper for";
        helperGroup = users->gr_gid;
        lan.AddLan("office");
        lan.AddLan("cameras");
        lan.AddHost("pc", "office", "eth0", {"10.77.0.2/24"});
        lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
        lan.AddHost("outside", "office", "eth0", {"172.31.0.9/24"});
        lan.AddHost("cams", "cameras", "eth0", {"192.168.60.20/24", "192.168.1.90/24", "169.254.7.7/16"});
        ASSERT_TRUE(lan.Ok());
        EmulatedCamera fresh = WebCam("Fresh", "02:e5:a1:00:06:02", "169.254.7.7");
        fresh.subnet = "255.255.0.0";
        cams = StartCameras("cams", {WebCam("Far", "02:e5:a1:00:06:01", "192.168.1.90"), fresh});
        cli = lan.Executable(VANTREL_CLI);
    }

    // vantrel-cli --trace ARGS as user 65534: in no group, or a member of the helper's.
    int Cli(const std::vector<std::string>& args, std::string& out, std::string& traces, bool member = false) {
        std::vector<std::string> argv = {cli, "--trace"};
        argv.insert(argv.end(), args.begin(), args.end());
        return lan.Run("pc", argv, &out, member ? RunAs::Member(helperGroup) : RunAs(true), 120s, &traces);
    }

    const std::vector<std::string> toFar = {"assign",   "02:e5:a1:00:06:01", "--ip",      "172.31.0.9",
                                            "--subnet", "255.255.255.0",     "--gateway", "172.31.0.1"};
    const std::vector<std::string> toFree = {"assign",   "02:e5:a1:00:06:01", "--ip",      "192.168.60.30",
                                             "--subnet", "255.255.255.0",     "--gateway", "192.168.60.1"};
    gid_t helperGroup = 0;
    std::unique_ptr<LanProcess> cams;
    std::string cli;
};

TEST_F(NetHelperLan, UserTheHelperCannotServeFallsBackAndChangesNoRoute) {
    Build();
    if (IsSkipped() || HasFatalFailure()) return;
    const std::string before = PcRoutes();
    std::string out, traces;

    // A helper without its capabilities: the kernel refuses it, the kernel's
    // neighbour table stands in for the probe.
    std::string helper = lan.Executable(VANTREL_NETHELPER);
    EXPECT_EQ(Cli({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(out, "\"169.254.7.7\"")) << out;
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: by " + helper + ": Operation not permitted")) << traces;
    EXPECT_EQ(Cli(toFree, out, traces), 3);
    EXPECT_EQ(out, "Assignment Failure\n");
    EXPECT_TRUE(Has(traces, "probe 192.168.60.30: " + helper + " could not probe: the kernel's neighbour table"))
        << traces;
    EXPECT_TRUE(Has(traces, "route add 192.168.1.90/32 dev eth1: by " + helper + ": Operation not permitted"))
        << traces;
    EXPECT_EQ(PcRoutes(), before);

    // Installed for its group only: a user outside it is told why, and the
    // file itself will not run for them.
    helper = GroupHelper(helperGroup);
    if (helper.empty()) GTEST_SKIP() << "the helper cannot be given its owner and capabilities here";
    const std::string barred = helper + ": not in group users: ";
    EXPECT_EQ(Cli({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(out, "\"169.254.7.7\"")) << out;
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: " + barred + "Operation not permitted")) << traces;
    EXPECT_EQ(Cli(toFree, out, traces), 3);
    EXPECT_EQ(out, "Assignment Failure\n");
    EXPECT_TRUE(Has(traces, "probe 192.168.60.30: " + barred + "the kernel's neighbour table")) << traces;
    EXPECT_TRUE(Has(traces, "route add 192.168.1.90/32 dev eth1: " + barred + "Operation not permitted")) << traces;
    // Started by that user: found, but not theirs to run.
    EXPECT_EQ(lan.Run("pc", {helper, "add-host-route", "192.168.1.90", "eth1", "192.168.60.2"}, &out, true), 126);
    EXPECT_EQ(out, "");
    EXPECT_EQ(PcRoutes(), before);
    EXPECT_FALSE(cams->WaitForText("GET /set.oid", 500ms));
}

TEST_F(NetHelperLan, MemberRoutesThroughTheHelperAndNoOneGetsAForbiddenRoute) {
    Build();
    if (IsSkipped() || HasFatalFailure()) return;
    lan.Route("pc", {"add", "default", "via", "10.77.0.1", "dev", "eth0"});
    const std::string helper = GroupHelper(helperGroup);
    if (helper.empty()) GTEST_SKIP() << "the helper cannot be given its owner and capabilities here";
    const std::string before = PcRoutes();
    std::string out, traces;

    // The link-local route lasts as long as the scan that heard "Fresh".
    EXPECT_EQ(Cli({"scan", "--json"}, out, traces, true), 0);
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_TRUE(Has(traces, "route delete 169.254.0.0/16 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_EQ(PcRoutes(), before);
    // "outside" answers on the office LAN only, where no route would lead: ARP on every link finds it.
    EXPECT_EQ(Cli(toFar, out, traces, true), 11);
    std::string outsideHw = HwAddr("outside");
    std::replace(outsideHw.begin(), outsideHw.end(), ':', '-');
    EXPECT_TRUE(Has(out, "Device at address " + outsideHw + " is responding")) << out;
    EXPECT_TRUE(Has(traces, "probe 172.31.0.9: ARP by " + helper)) << traces;
    EXPECT_EQ(Cli(toFree, out, traces, true), 0) << traces;
    EXPECT_EQ(out, "Success\n");
    EXPECT_TRUE(Has(traces, "route add 192.168.1.90/32 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_TRUE(Has(traces, "route delete 192.168.1.90/32 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_TRUE(cams->WaitForText("http 192.168.1.90:8080 GET /set.oid?", 5s));
    EXPECT_EQ(PcRoutes(), before);

    // A member (who may run the helper as they like), then root, asking for
    // what the rules forbid, beside routes the PC has from elsewhere.
    lan.Route("pc", {"add", "192.168.60.99/32", "dev", "eth1"});
    lan.Route("pc", {"add", "169.254.0.0/16", "dev", "eth0", "proto", "static"});
    lan.Route("pc",
              {"add", "10.200.0.0/16", "via", "10.77.0.1", "dev", "eth0"});  // an office network behind the router
    const std::string others = PcRoutes();
    const struct {
        std::vector<std::string> request;
        std::string answer;
        int status;
    } asks[] = {
        {{"add-host-route", "8.8.8.8", "eth1", "192.168.60.2"},
         "refused 8.8.8.8 is no private or link-local address",
         2},
        {{"add-host-route", "10.77.0.1", "eth1", "192.168.60.2"},
         "refused 10.77.0.1 lies in the subnet of eth0 (10.77.0.2)",
         2},
        {{"add-host-route", "10.77.0.1", "eth0", "10.77.0.2"},
         "refused 10.77.0.1 is the gateway of the route to 0.0.0.0/0",
         2},
        {{"add-host-route", "10.200.0.5", "eth1", "192.168.60.2"},
         "refused 10.200.0.5 is routed through eth0 by the route to 10.200.0.0/16",
         2},
        {{"add-host-route", "192.168.60.2", "eth1", "192.168.60.2"},
         "refused 192.168.60.2 is an address of this PC",
         2},
        {{"add-host-route", "192.168.60.99", "eth1", "192.168.60.2"}, "exists", 0},
        {{"delete-host-route", "192.168.60.99", "eth1"},
         "refused the route to 192.168.60.99/32 was not added by Vantrel",
         2},
        {{"add-link-local-route", "eth1", "192.168.60.2"}, "exists", 0},
        {{"delete-link-local-route", "eth0"}, "refused the route to 169.254.0.0/16 was not added by Vantrel", 2},
        {{"add-host-route", "192.168.1.90", "eth1", "10.77.0.2"}, "refused interface eth1 holds no 10.77.0.2", 2},
        {{"add-host-route", "192.168.1.90", "eth1", "192.168.60.2", "replace"},
         "refused add-host-route takes 3 arguments",
         2},
    };
    for (const bool root : {false, true}) {
        for (const auto& ask : asks) {
            std::vector<std::string> argv = {root ? VANTREL_NETHELPER : helper};
            argv.insert(argv.end(), ask.request.begin(), ask.request.end());
            EXPECT_EQ(lan.Run("pc", argv, &out, root ? RunAs() : RunAs::Member(helperGroup), 10s), ask.status)
                << (root ? "root: " : "member: ") << ask.request[0] << " " << ask.request[1];
            EXPECT_EQ(out, ask.answer + "\n") << (root ? "root" : "member");
        }
    }
    EXPECT_EQ(PcRoutes(), others);
}

}  // namespace
