// The Linux adaptations against a real kernel, in namespaces: routes and the
// interfaces a multicast DNS scan queries.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "mdns.h"
#include "routes.h"
#include "test_lan.h"
#include "trace_capture.h"

namespace {

in_addr Address(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a;
}

class PlatformLan : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_TEST_LAN(); }

    std::string Routes(const std::string& host) {
        std::string out;
        lan.Run(host, {"ip", "-4", "route", "show", "table", "main"}, &out);
        return out;
    }
    unsigned Index(const std::string& host, const std::string& link) {
        std::string out;
        lan.Run(host, {"cat", "/sys/class/net/" + link + "/ifindex"}, &out);
        return static_cast<unsigned>(std::stoul(out));
    }

    TestLan lan;
};

using platform::RouteOutcome;

TEST_F(PlatformLan, LinkLocalRouteOnlyWhereNoneIsAndGoneWhenReleased) {
    lan.AddLan("a");
    lan.AddLan("b");
    lan.AddHost("pc", "a", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "b", "eth1", {"192.168.60.2/24"});
    ASSERT_TRUE(lan.Ok());
    const unsigned eth0 = Index("pc", "eth0"), eth1 = Index("pc", "eth1");
    RouteOutcome first, again, other, besideKernels;
    std::string added;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        first = platform::AddLinkLocalRoute(eth1, Address("192.168.60.2"));
        again = platform::AddLinkLocalRoute(eth1, Address("192.168.60.2"));
        other = platform::AddLinkLocalRoute(eth0, Address("10.77.0.2"));  // one is there: it stays and is used
        added = Routes("pc");
        platform::ReleaseAllRoutes();
    }));
    EXPECT_EQ(first.kind, RouteOutcome::Added);
    EXPECT_EQ(again.kind, RouteOutcome::Exists);
    EXPECT_EQ(other.kind, RouteOutcome::Exists);
    EXPECT_NE(added.find("169.254.0.0/16 dev eth1 proto 163 scope link src 192.168.60.2"), std::string::npos) << added;
    EXPECT_EQ(added.find("dev eth0 proto 163"), std::string::npos) << added;
    EXPECT_EQ(Routes("pc").find("169.254"), std::string::npos) << Routes("pc");

    // The kernel's own link-local route (a link-local address on eth0) stays the one.
    ASSERT_EQ(lan.Run("pc", {"ip", "addr", "add", "169.254.5.5/16", "dev", "eth0"}), 0);
    const std::string before = Routes("pc");
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        besideKernels = platform::AddLinkLocalRoute(eth1, Address("192.168.60.2"));
        platform::ReleaseAllRoutes();
    }));
    EXPECT_EQ(besideKernels.kind, RouteOutcome::Exists);
    EXPECT_EQ(Routes("pc"), before);
}

TEST_F(PlatformLan, HostRouteCreatedOnlyWhereNoneIsAndRemovedOnce) {
    lan.AddLan("a");
    lan.AddLan("b");
    lan.AddHost("pc", "a", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "b", "eth1", {"10.88.0.2/24"});
    ASSERT_TRUE(lan.Ok());
    const unsigned eth0 = Index("pc", "eth0"), eth1 = Index("pc", "eth1");
    const in_addr camera = Address("10.66.0.50");
    RouteOutcome added, second;
    std::string between;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        added = platform::AddHostRoute(camera, eth0, Address("10.77.0.2"));
        second = platform::AddHostRoute(camera, eth1, Address("10.88.0.2"));  // never replaced
        between = Routes("pc");
        platform::ReleaseHostRoute(camera, eth1);  // not the one it added: nothing
        platform::ReleaseHostRoute(camera, eth0);
        platform::ReleaseHostRoute(camera, eth0);
    }));
    EXPECT_EQ(added.kind, RouteOutcome::Added);
    EXPECT_EQ(second.kind, RouteOutcome::Exists);
    EXPECT_NE(between.find("10.66.0.50 dev eth0 proto 163 scope link src 10.77.0.2"), std::string::npos) << between;
    EXPECT_EQ(between.find("10.66.0.50 dev eth1"), std::string::npos) << between;
    EXPECT_EQ(Routes("pc").find("10.66.0.50"), std::string::npos);
}

TEST_F(PlatformLan, OrdinaryUserIsRefusedWithoutHarm) {
    lan.AddLan("a");
    lan.AddHost("pc", "a", "eth0", {"10.77.0.2/24"});
    ASSERT_TRUE(lan.Ok());
    const unsigned eth0 = Index("pc", "eth0");
    int result = -1;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        pid_t child = fork();
        if (child == 0) {
            if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(250);
            _exit(platform::AddLinkLocalRoute(eth0, Address("10.77.0.2")).error);
        }
        int status = 0;
        waitpid(child, &status, 0);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }));
    EXPECT_EQ(result, EPERM);
    EXPECT_EQ(Routes("pc").find("169.254"), std::string::npos);
}

TEST_F(PlatformLan, OnlySuitableLinksAreQueriedEachOnce) {
    lan.AddLan("a");
    lan.AddHost("pc", "a", "eth0", {"10.77.0.2/24"});
    ASSERT_TRUE(lan.Ok());
    // An alias on eth0, a point-to-point tunnel, a link that is down, one without multicast.
    // clang-format off
    for (std::vector<std::string> command : std::vector<std::vector<std::string>>{
             {"ip", "addr", "add", "10.77.0.3/24", "dev", "eth0", "label", "eth0:1"},
             {"ip", "tuntap", "add", "dev", "tun0", "mode", "tun"},
             {"ip", "addr", "add", "10.99.0.1", "peer", "10.99.0.2", "dev", "tun0"},
             {"ip", "link", "set", "tun0", "up"},
             {"ip", "link", "add", "down0", "type", "veth", "peer", "name", "down0p"},
             {"ip", "addr", "add", "10.98.0.1/24", "dev", "down0"},
             {"ip", "link", "add", "nomc0", "type", "veth", "peer", "name", "nomc0p"},
             {"ip", "link", "set", "nomc0", "multicast", "off"},
             {"ip", "addr", "add", "10.97.0.1/24", "dev", "nomc0"},
             {"ip", "link", "set", "nomc0p", "up"},
             {"ip", "link", "set", "nomc0", "up"},
         }) {
        // clang-format on
        ASSERT_EQ(lan.Run("pc", command), 0) << command[1] << " " << command[2];
    }
    TraceCapture trace;
    int added = -1;
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        CMdns mdns;
        CameraRecord records[4];
        added = mdns.Discover(records, 4);
    }));
    EXPECT_EQ(added, 0);
    std::vector<std::string> gathered;
    for (const std::string& line : trace.Lines())
        if (line.rfind("Gathering on iface ", 0) == 0) gathered.push_back(line);
    EXPECT_EQ(gathered, std::vector<std::string>{"Gathering on iface 10.77.0.2"});
    EXPECT_TRUE(trace.Contains("Trying 6 ifaces"));  // lo, eth0 twice, tun0, down0, nomc0
}

}  // namespace
