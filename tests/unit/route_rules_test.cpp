// The route rules every route change passes, and the reading of the kernel's
// route dump they stand on (messages written out byte by byte).
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "route_rules.h"
#include "route_table.h"

namespace {

using platform::RouteEntry;
using platform::RouteVerdict;

in_addr A(const char* text) { return in_addr{inet_addr(text)}; }

TEST(RouteDump, ReadsTheMainTablesRoutesAndNothingPastALength) {
    // clang-format off
    const std::vector<uint8_t> dump = {
        // RTM_NEWROUTE, 68 bytes, NLM_F_MULTI: 10.66.0.50/32 table main proto 163 scope link, oif 3,
        // gateway 192.168.60.254, metric 12345
        68, 0, 0, 0, 24, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0,
        2, 32, 0, 0, 254, 163, 253, 1, 0, 0, 0, 0,
        8, 0, 15, 0, 254, 0, 0, 0,       // RTA_TABLE 254
        8, 0, 1, 0, 10, 66, 0, 50,       // RTA_DST
        8, 0, 4, 0, 3, 0, 0, 0,          // RTA_OIF 3
        8, 0, 5, 0, 192, 168, 60, 254,   // RTA_GATEWAY
        8, 0, 6, 0, 0x39, 0x30, 0, 0,    // RTA_PRIORITY 12345
        // a local address in table local (255)
        44, 0, 0, 0, 24, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0,
        2, 32, 0, 0, 255, 2, 254, 2, 0, 0, 0, 0,
        8, 0, 15, 0, 255, 0, 0, 0,
        8, 0, 1, 0, 10, 66, 0, 51,
        // default route (no RTA_DST), proto dhcp, an attribute whose length runs past the message
        40, 0, 0, 0, 24, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0,
        2, 0, 0, 0, 254, 16, 0, 1, 0, 0, 0, 0,
        8, 0, 5, 0, 10, 77, 0, 1,        // RTA_GATEWAY 10.77.0.1
        64, 0, 4, 0,                     // RTA_OIF claiming 64 bytes
        // NLMSG_DONE
        20, 0, 0, 0, 3, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    // clang-format on
    std::vector<RouteEntry> routes;
    bool done = false, failed = false;
    platform::ReadRouteMessages(dump.data(), dump.size(), routes, done, failed);
    EXPECT_TRUE(done);
    EXPECT_FALSE(failed);
    ASSERT_EQ(routes.size(), 3u);
    EXPECT_EQ(routes[0].table, 254u);
    EXPECT_EQ(routes[1].table, 255u);
    EXPECT_EQ(routes[1].type, 2);  // RTN_LOCAL
    routes.erase(routes.begin() + 1);
    EXPECT_EQ(routes[0].destination.s_addr, inet_addr("10.66.0.50"));
    EXPECT_EQ(routes[0].prefixLength, 32);
    EXPECT_EQ(routes[0].protocol, 163);
    EXPECT_EQ(routes[0].linkIndex, 3u);
    EXPECT_EQ(routes[0].metric, 12345u);
    ASSERT_EQ(routes[0].gateways.size(), 1u);
    EXPECT_EQ(routes[0].gateways[0].s_addr, inet_addr("192.168.60.254"));
    EXPECT_EQ(routes[1].destination.s_addr, 0u);
    EXPECT_EQ(routes[1].prefixLength, 0);
    EXPECT_EQ(routes[1].protocol, 16);
    EXPECT_EQ(routes[1].linkIndex, 0u);
    ASSERT_EQ(routes[1].gateways.size(), 1u);

    // Every cut of the dump is read without reading past it.
    for (std::size_t n = 0; n < dump.size(); ++n) {
        std::vector<uint8_t> cut(dump.begin(), dump.begin() + static_cast<long>(n));
        std::vector<RouteEntry> some;
        bool end = false, broken = false;
        platform::ReadRouteMessages(cut.data(), cut.size(), some, end, broken);
        EXPECT_LE(some.size(), 3u);
    }
    // An error, or a dump the kernel says was interrupted, leaves nothing to judge by.
    const std::vector<uint8_t> error = {20, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0xff, 0xff, 0xff};
    platform::ReadRouteMessages(error.data(), error.size(), routes, done, failed);
    EXPECT_TRUE(failed);
    std::vector<uint8_t> interrupted(dump.begin(), dump.begin() + 68);
    interrupted[6] |= 0x10;  // NLM_F_DUMP_INTR
    failed = false;
    platform::ReadRouteMessages(interrupted.data(), interrupted.size(), routes, done, failed);
    EXPECT_TRUE(failed);
}

// A PC with an office link eth0 (10.77.0.2/24, default route via 10.77.0.1),
// a camera link eth1 (192.168.60.2/24), a static /32 of its own on eth1, a
// network behind a router on the camera link, and one route of ours.
platform::RouteView Pc() {
    platform::RouteView view;
    view.read = true;
    view.subnets = {{2, "eth0", A("10.77.0.2"), A("255.255.255.0")},
                    {3, "eth1", A("192.168.60.2"), A("255.255.255.0")}};
    auto route = [](const char* destination, int length, std::vector<in_addr> gateways, unsigned link,
                    unsigned char protocol) {
        RouteEntry entry;
        entry.destination = A(destination);
        entry.prefixLength = length;
        entry.gateways = std::move(gateways);
        entry.linkIndex = link;
        entry.linkName = link == 2 ? "eth0" : "eth1";
        entry.protocol = protocol;
        entry.table = 254;
        entry.type = 1;  // unicast
        return entry;
    };
    view.routes = {route("0.0.0.0", 0, {A("10.77.0.1")}, 2, 16),
                   route("10.77.0.0", 24, {}, 2, 2),
                   route("192.168.60.0", 24, {}, 3, 2),
                   route("192.168.60.99", 32, {}, 3, 4),
                   route("172.20.0.0", 16, {A("192.168.60.254")}, 3, 4),
                   route("10.200.0.0", 16, {A("10.77.0.1")}, 2, 4),  // an office network behind the router
                   route("169.254.9.9", 32, {}, 3, platform::kRouteProtocol)};
    return view;
}

RouteEntry route169(const char* link) {
    RouteEntry kernels;
    kernels.destination = A("169.254.0.0");
    kernels.prefixLength = 16;
    kernels.linkIndex = 2;
    kernels.linkName = link;
    kernels.protocol = 2;
    kernels.table = 254;
    kernels.type = 1;
    return kernels;
}

TEST(RouteRules, HostRoutesOnlyWhereTheyHijackNothing) {
    const platform::RouteView pc = Pc();
    struct Case {
        const char* destination;
        unsigned link;
        RouteVerdict::Kind kind;
        const char* reason;
    };
    // clang-format off
    const Case cases[] = {
        {"192.168.1.90", 3, RouteVerdict::Allowed, ""},    // a camera at its factory address
        {"169.254.10.20", 3, RouteVerdict::Allowed, ""},   // a link-local camera
        {"172.31.0.9", 3, RouteVerdict::Allowed, ""},
        {"192.168.60.20", 3, RouteVerdict::Allowed, ""},   // in the link's own subnet
        {"8.8.8.8", 3, RouteVerdict::Refused, "8.8.8.8 is no private or link-local address"},
        {"100.64.0.1", 3, RouteVerdict::Refused, "100.64.0.1 is no private or link-local address"},
        {"10.77.0.53", 3, RouteVerdict::Refused, "10.77.0.53 lies in the subnet of eth0 (10.77.0.2)"},
        {"10.77.0.1", 3, RouteVerdict::Refused, "10.77.0.1 lies in the subnet of eth0 (10.77.0.2)"},
        {"192.168.60.2", 3, RouteVerdict::Refused, "192.168.60.2 is an address of this PC"},
        {"192.168.60.254", 3, RouteVerdict::Refused, "192.168.60.254 is the gateway of the route to 172.20.0.0/16"},
        {"10.200.0.5", 3, RouteVerdict::Refused, "10.200.0.5 is routed through eth0 by the route to 10.200.0.0/16"},
        {"172.20.0.5", 2, RouteVerdict::Refused, "172.20.0.5 is routed through eth1 by the route to 172.20.0.0/16"},
        {"172.20.0.5", 3, RouteVerdict::Allowed, ""},      // the link that route leads through
        {"192.168.60.99", 3, RouteVerdict::Exists, ""},    // the PC's own /32 is used as it is
        {"169.254.9.9", 2, RouteVerdict::Exists, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        const RouteVerdict verdict = platform::JudgeAddHostRoute(A(c.destination), c.link, pc);
        EXPECT_EQ(verdict.kind, c.kind) << c.destination;
        EXPECT_EQ(verdict.reason, c.reason) << c.destination;
    }
    // Another link's 169.254.0.0/16 leads to other devices: a link-local camera still gets its route.
    platform::RouteView linkLocalElsewhere = pc;
    linkLocalElsewhere.routes.push_back(route169("eth0"));
    EXPECT_EQ(platform::JudgeAddHostRoute(A("169.254.10.20"), 3, linkLocalElsewhere).kind, RouteVerdict::Allowed);
    // A VPN keeps its routes in a table of its own: they count all the same.
    platform::RouteView vpn = pc;
    RouteEntry tunnel;
    tunnel.destination = A("10.50.0.0");
    tunnel.prefixLength = 16;
    tunnel.linkIndex = 9;
    tunnel.linkName = "wg0";
    tunnel.table = 51820;
    tunnel.type = 1;
    vpn.routes.push_back(tunnel);
    EXPECT_EQ(platform::JudgeAddHostRoute(A("10.50.3.4"), 3, vpn).reason,
              "10.50.3.4 is routed through wg0 by the route to 10.50.0.0/16");
    platform::RouteView gatewayOnly = pc;
    gatewayOnly.subnets.clear();
    EXPECT_EQ(platform::JudgeAddHostRoute(A("10.77.0.1"), 3, gatewayOnly).reason,
              "10.77.0.1 is the gateway of the route to 0.0.0.0/0");
    platform::RouteView unread;
    EXPECT_EQ(platform::JudgeAddHostRoute(A("192.168.1.90"), 3, unread).kind, RouteVerdict::Refused);
}

TEST(RouteRules, LinkLocalOnlyWhereNoneIsAndDeletionsOnlyOfOurs) {
    platform::RouteView pc = Pc();
    EXPECT_EQ(platform::JudgeAddLinkLocalRoute(3, pc).kind, RouteVerdict::Allowed);
    pc.routes.push_back(route169("eth0"));
    EXPECT_EQ(platform::JudgeAddLinkLocalRoute(3, pc).kind, RouteVerdict::Exists);

    EXPECT_EQ(platform::JudgeDeleteRoute(A("169.254.9.9"), 32, 3, pc).kind, RouteVerdict::Allowed);
    EXPECT_EQ(platform::JudgeDeleteRoute(A("192.168.1.90"), 32, 3, pc).kind, RouteVerdict::Allowed);  // ESRCH follows
    const RouteVerdict theirs = platform::JudgeDeleteRoute(A("192.168.60.99"), 32, 3, pc);
    EXPECT_EQ(theirs.kind, RouteVerdict::Refused);
    EXPECT_EQ(theirs.reason, "the route to 192.168.60.99/32 was not added by Vantrel");
    EXPECT_EQ(platform::JudgeDeleteRoute(A("169.254.0.0"), 16, 2, pc).kind, RouteVerdict::Refused);
}

}  // namespace
