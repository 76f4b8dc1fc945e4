// An ordinary user's vantrel-cli beside vantrel-nethelper: with the helper's
// capabilities the link-local route, the host route and the ARP probe work;
// without them everything falls back as it did before there was a helper.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/xattr.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camera_lan.h"

namespace {

using namespace std::chrono_literals;
using NetHelperLan = CameraLan;

// What `setcap cap_net_admin,cap_net_raw+ep` writes.
bool GiveCapabilities(const std::string& path) {
    vfs_cap_data caps{};
    caps.magic_etc = VFS_CAP_REVISION_2 | VFS_CAP_FLAGS_EFFECTIVE;
    caps.data[0].permitted = (1u << CAP_NET_ADMIN) | (1u << CAP_NET_RAW);
    return setxattr(path.c_str(), "security.capability", &caps, sizeof caps, 0) == 0;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(NetHelperLan, OrdinaryUserRoutesAndProbesThroughTheHelperOrFallsBack) {
    // The pc: an office LAN (eth0) and a camera LAN (eth1). "Far" keeps its
    // factory address, in no subnet of the pc; "Fresh" is link-local; "outside"
    // answers on the office LAN for an address of no subnet of the pc either.
    lan.AddLan("office");
    lan.AddLan("cameras");
    lan.AddHost("pc", "office", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
    lan.AddHost("outside", "office", "eth0", {"172.31.0.9/24"});
    lan.AddHost("cams", "cameras", "eth0", {"192.168.60.20/24", "192.168.1.90/24", "169.254.7.7/16"});
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera fresh = WebCam("Fresh", "02:e5:a1:00:06:02", "169.254.7.7");
    fresh.subnet = "255.255.0.0";
    auto cams = StartCameras("cams", {WebCam("Far", "02:e5:a1:00:06:01", "192.168.1.90"), fresh});
    const std::string cli = lan.Executable(VANTREL_CLI);
    const std::string helper = lan.Executable(VANTREL_NETHELPER);  // beside the cli, where it looks first
    auto routes = [&] {
        std::string out;
        lan.Run("pc", {"ip", "-4", "route", "show"}, &out);
        return out;
    };
    auto run = [&](const std::vector<std::string>& args, std::string& out, std::string& traces) {
        std::vector<std::string> argv = {cli, "--trace"};
        argv.insert(argv.end(), args.begin(), args.end());
        return lan.Run("pc", argv, &out, true, 120s, &traces);
    };
    const std::vector<std::string> toFar = {"assign", "02:e5:a1:00:06:01", "--ip", "172.31.0.9", "--subnet",
                                            "255.255.255.0", "--gateway", "172.31.0.1"};
    const std::vector<std::string> toFree = {"assign", "02:e5:a1:00:06:01", "--ip", "192.168.60.30", "--subnet",
                                             "255.255.255.0", "--gateway", "192.168.60.1"};
    const std::string before = routes();
    std::string out, traces;

    // The helper without capabilities: refused as before, probed by the kernel.
    EXPECT_EQ(run({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: by " + helper + ": Operation not permitted")) << traces;
    EXPECT_EQ(routes(), before);
    EXPECT_NE(run(toFree, out, traces), 0);
    EXPECT_TRUE(Has(traces, "probe 192.168.60.30: " + helper + " could not probe: the kernel's neighbour table"))
        << traces;
    EXPECT_TRUE(Has(traces, "route add 192.168.1.90/32 dev eth1: by " + helper + ": Operation not permitted"))
        << traces;
    EXPECT_FALSE(cams->WaitForText("GET /set.oid", 500ms));

    // With them.
    if (!GiveCapabilities(helper)) GTEST_SKIP() << "file capabilities cannot be set on " << helper;
    EXPECT_EQ(run({"scan", "--json"}, out, traces), 0);
    EXPECT_TRUE(Has(traces, "route add 169.254.0.0/16 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_TRUE(Has(routes(), "169.254.0.0/16 dev eth1 proto static scope link src 192.168.60.2")) << routes();
    // "outside" answers on the office LAN only, where no route would lead.
    EXPECT_EQ(run(toFar, out, traces), 11);
    std::string outsideHw = HwAddr("outside");
    std::replace(outsideHw.begin(), outsideHw.end(), ':', '-');
    EXPECT_TRUE(Has(out, "Device at address " + outsideHw + " is responding")) << out;
    EXPECT_TRUE(Has(traces, "probe 172.31.0.9: ARP by " + helper)) << traces;
    EXPECT_EQ(run(toFree, out, traces), 0) << traces;
    EXPECT_EQ(out, "Success\n");
    EXPECT_TRUE(Has(traces, "route add 192.168.1.90/32 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_TRUE(Has(traces, "route delete 192.168.1.90/32 dev eth1: by " + helper + ": done")) << traces;
    EXPECT_TRUE(cams->WaitForText("http 192.168.1.90:8080 GET /set.oid?", 5s));
    std::string after = routes();
    after.erase(after.find("169.254.0.0/16 dev eth1 proto static"), std::string::npos);
    EXPECT_FALSE(Has(after, "192.168.1.90")) << after;

    // The capable helper itself, asked what it must not do: nothing done.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{helper, "add-host-route", "8.8.8.8", "eth1", "10.77.0.2", "replace"},
          {helper, "delete-host-route", "192.168.60.0", "eth1", "extra"},
          {helper, "add-link-local-route", "eth9", "192.168.60.2"},
          {helper, "arp-probe", "192.168.60.255.1"}}) {
        std::string errors;
        EXPECT_EQ(lan.Run("pc", bad, &out, true, 10s, &errors), 2) << bad[1];
        EXPECT_EQ(out, "refused\n");
        EXPECT_TRUE(Has(errors, "vantrel-nethelper: ")) << errors;
    }
    EXPECT_FALSE(Has(routes(), "8.8.8.8"));
    // A host route the PC has from elsewhere is not the helper's to delete.
    lan.Run("pc", {"ip", "route", "add", "192.168.60.99/32", "dev", "eth1"});
    EXPECT_EQ(lan.Run("pc", {helper, "delete-host-route", "192.168.60.99", "eth1"}, &out, true), 1);
    EXPECT_EQ(out, "error 3\n");
    EXPECT_TRUE(Has(routes(), "192.168.60.99 dev eth1"));
}

}  // namespace
