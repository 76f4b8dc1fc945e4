// The web requests of the cameras, from targets as a client puts them on the
// wire: pages, set.oid queries with escapes and a literal '+', and what the
// network OIDs of a web assignment do to the camera.

#include "http_request.h"

#include <gtest/gtest.h>

namespace camsim::http {
namespace {

TEST(HttpRequest, TargetsNameTheirPageAndOid) {
    Target get = parseTarget("/get.oid?2.17");
    EXPECT_EQ(get.page, Page::GetOid);
    EXPECT_EQ(get.oid, "2.17");

    Target list = parseTarget("/DPARSE_$O(1.2.29.4,L).cmd");
    EXPECT_EQ(list.page, Page::List);
    EXPECT_EQ(list.oid, "1.2.29.4");

    Target set = parseTarget("/set.oid?OidTB2.17=GMT+1");
    EXPECT_EQ(set.page, Page::SetOid);
    EXPECT_EQ(set.query, "OidTB2.17=GMT+1");

    EXPECT_EQ(parseTarget("/DPARSE_$O(,L).cmd").page, Page::Unknown);
    EXPECT_EQ(parseTarget("/DPARSE_$O(2.17,X).cmd").page, Page::Unknown);
    EXPECT_EQ(parseTarget("/get.oidx?2.17").page, Page::Unknown);
    EXPECT_EQ(parseTarget("/").page, Page::Unknown);
}

TEST(HttpRequest, SetQueryDecodesEscapesButKeepsPlus) {
    EXPECT_EQ(parseSetQuery("OidTB2.17=GMT+1&OidTB2.4=a%20b%23c%26d&OidTR2.11=1"),
              (std::vector<OidWrite>{{"2.17", "GMT+1"}, {"2.4", "a b#c&d"}, {"2.11", "1"}}));
    EXPECT_EQ(parseSetQuery("OidTB2.17=GMT%2B1&OidTB2.4=100%25%2"),
              (std::vector<OidWrite>{{"2.17", "GMT+1"}, {"2.4", "100%%2"}}));
    // Other arguments are no writes; a write without '=' writes an empty text.
    EXPECT_EQ(parseSetQuery("x=1&&OidTB=2&OidXX2.4=3&OidTB2.4"), (std::vector<OidWrite>{{"2.4", ""}}));
}

TEST(HttpRequest, NetworkOidsChangeTheCameraSettings) {
    Camera cam;
    cam.ip = {10, 0, 0, 5};
    cam.subnet = {255, 0, 0, 0};
    cam.gateway = {10, 0, 0, 1};
    cam.dhcp = 1;
    for (const OidWrite& w : parseSetQuery("OidTB3.6.2=192.168.7.1&OidTB3.6.1=255.255.255.0&OidTB3.6.10=192.168.7.20"
                                           "&OidTB4.2=disabled&OidTR3.6.22=1")) {
        applyOidWrite(cam, w);
    }
    EXPECT_EQ(cam.ip, (Ipv4{192, 168, 7, 20}));
    EXPECT_EQ(cam.subnet, (Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(cam.gateway, (Ipv4{192, 168, 7, 1}));
    EXPECT_EQ(cam.dhcp, 0);
    EXPECT_EQ(cam.oids.at("3.6.10"), "192.168.7.20");

    // A text that is no address leaves the field; the table takes it all the same.
    applyOidWrite(cam, {"3.6.10", "192.168.7"});
    applyOidWrite(cam, {"4.2", "enabled"});
    EXPECT_EQ(cam.ip, (Ipv4{192, 168, 7, 20}));
    EXPECT_EQ(cam.oids.at("3.6.10"), "192.168.7");
    EXPECT_EQ(cam.dhcp, 1);
    EXPECT_TRUE(asksRestart({"2.11", "1"}));
    EXPECT_FALSE(asksRestart({"3.6.22", "1"}));
}

}  // namespace
}  // namespace camsim::http
