// The cameras' side of the broadcast assignment against requests written out
// by hand: header, digest, target, reboot, options (type, 0, big-endian
// length, value) ended by four zeros; replies are 8 bytes with code 5.

#include "drovik_assign_wire.h"
#include "md5_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace camsim::drovik {
namespace {

using Bytes = std::vector<std::uint8_t>;
using camsim::testing::Md5;

Nonce NonceFrom(std::uint8_t first) {
    Nonce n;
    for (std::size_t i = 0; i < n.size(); ++i) n[i] = static_cast<std::uint8_t>(first + i);
    return n;
}

Camera Gate() {
    Camera cam;
    cam.name = "Gate";
    cam.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x07};
    cam.ip = {10, 77, 0, 11};
    cam.subnet = {255, 255, 255, 0};
    cam.gateway = {10, 77, 0, 1};
    return cam;
}

// The nonces of the camera's last three discovery replies: 00.., 10.., 20...
RecentNonces ThreeReplies() {
    RecentNonces recent;
    for (std::uint8_t first : {0x00, 0x10, 0x20}) recent.Add(NonceFrom(first));
    return recent;
}

const auto kOverFirst = Md5("000102030405060708090a0b0c0d0e0f:root:QIVNEP");
const auto kOverThird = Md5("202122232425262728292a2b2c2d2e2f:root:QIVNEP");

// Header, digest, then target, reboot and options.
Bytes AssignDatagram(std::uint8_t packetId, const std::array<std::uint8_t, 16>& digest, const Bytes& rest) {
    Bytes out(digest.begin(), digest.end());
    out.insert(out.begin(), {packetId, 0x03, 0x00, 0x00});
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

Bytes FixedRequest(std::uint8_t packetId, const std::array<std::uint8_t, 16>& digest) {
    // clang-format off
    return AssignDatagram(packetId, digest, {
        0x02, 0xe5, 0xa1, 0x00, 0x00, 0x07,  // target
        0x01, 0x00,                          // reboot, zero
        0x01, 0x00, 0x00, 0x04, 10, 77, 0, 50,
        0x02, 0x00, 0x00, 0x04, 255, 255, 0, 0,
        0x03, 0x00, 0x00, 0x04, 10, 77, 0, 254,
        0x08, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x00, 0x00,
    });
    // clang-format on
}

Bytes DhcpRequest(std::uint8_t packetId, const std::array<std::uint8_t, 16>& digest) {
    // clang-format off
    return AssignDatagram(packetId, digest, {
        0x02, 0xe5, 0xa1, 0x00, 0x00, 0x07, 0x00, 0x00,
        0x08, 0x00, 0x00, 0x01, 0x01,
        0x00, 0x00, 0x00, 0x00,
    });
    // clang-format on
}

AssignOutcome AssignBytes(Camera& cam, const RecentNonces& recent, const Bytes& datagram) {
    auto request = ParseAssignRequest(datagram);
    EXPECT_TRUE(request);
    return request ? Assign(cam, recent, *request) : AssignOutcome{};
}

TEST(Assignment, FixedAddressOverAnOlderRecentNonceIsApplied) {
    const Bytes datagram = FixedRequest(0x5a, kOverFirst);
    ASSERT_EQ(datagram.size(), 61u);
    auto request = ParseAssignRequest(datagram);
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->reboot);

    Camera cam = Gate();
    AssignOutcome outcome = Assign(cam, ThreeReplies(), *request);
    EXPECT_TRUE(outcome.applied);
    EXPECT_EQ(outcome.replies, (std::vector<Bytes>{{0x5a, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(cam.ip, (Ipv4{10, 77, 0, 50}));
    EXPECT_EQ(cam.subnet, (Ipv4{255, 255, 0, 0}));
    EXPECT_EQ(cam.gateway, (Ipv4{10, 77, 0, 254}));
    EXPECT_EQ(cam.dhcp, 0);
}

TEST(Assignment, DhcpKeepsTheAddresses) {
    const Bytes datagram = DhcpRequest(0x00, kOverThird);
    ASSERT_EQ(datagram.size(), 37u);
    Camera cam = Gate();
    AssignOutcome outcome = AssignBytes(cam, ThreeReplies(), datagram);
    EXPECT_TRUE(outcome.applied);
    EXPECT_EQ(outcome.replies, (std::vector<Bytes>{{0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(cam.dhcp, 1);
    EXPECT_EQ(cam.ip, Gate().ip);
    EXPECT_EQ(cam.subnet, Gate().subnet);
    EXPECT_EQ(cam.gateway, Gate().gateway);
}

TEST(Assignment, WrongOrStaleDigestIsStatus2AndChangesNothing) {
    const Bytes wrongPassword = {0x11, 0x05, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
    const auto overLowerCase = Md5("000102030405060708090a0b0c0d0e0f:root:qivnep");
    const auto overUnsent = Md5("303132333435363738393a3b3c3d3e3f:root:QIVNEP");
    for (const auto& digest : {overLowerCase, overUnsent}) {
        Camera cam = Gate();
        AssignOutcome outcome = AssignBytes(cam, ThreeReplies(), FixedRequest(0x11, digest));
        EXPECT_FALSE(outcome.applied);
        EXPECT_EQ(outcome.replies, std::vector<Bytes>{wrongPassword});
        EXPECT_EQ(cam.ip, Gate().ip);
    }
    // Eight later replies push the first nonce out.
    RecentNonces recent = ThreeReplies();
    for (std::uint8_t i = 0; i < 6; ++i) recent.Add(NonceFrom(static_cast<std::uint8_t>(0x40 + 0x10 * i)));
    Camera cam = Gate();
    EXPECT_EQ(AssignBytes(cam, recent, FixedRequest(0x11, kOverFirst)).replies, std::vector<Bytes>{wrongPassword});
    EXPECT_EQ(AssignBytes(cam, recent, FixedRequest(0x11, kOverThird)).replies,
              (std::vector<Bytes>{{0x11, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}));
}

TEST(Assignment, ReplyModesAndStrayIds) {
    const Bytes request = FixedRequest(0xff, kOverThird);
    struct Case {
        AssignReply mode;
        unsigned wrongIds;
        bool applied;
        std::vector<Bytes> replies;
    };
    // clang-format off
    const Case cases[] = {
        {AssignReply::Silent, 0, false, {}},
        {AssignReply::Refuse, 0, false, {{0xff, 0x05, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}}},
        {AssignReply::Status7, 0, true, {{0xff, 0x05, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00}}},
        {AssignReply::Code4, 0, true, {{0xff, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}},
        {AssignReply::Normal, 2, true,
         {{0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // ID + 1 wraps
          {0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
          {0xff, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        Camera cam = Gate();
        cam.assignReply = c.mode;
        cam.assignWrongIds = c.wrongIds;
        AssignOutcome outcome = AssignBytes(cam, ThreeReplies(), request);
        EXPECT_EQ(outcome.applied, c.applied) << static_cast<int>(c.mode);
        EXPECT_EQ(outcome.replies, c.replies) << static_cast<int>(c.mode);
        EXPECT_EQ(cam.ip, (c.applied ? Ipv4{10, 77, 0, 50} : Gate().ip)) << static_cast<int>(c.mode);
    }

    // Another camera's assignment draws nothing.
    Camera other = Gate();
    other.hwAddr.back() = 0x08;
    EXPECT_TRUE(AssignBytes(other, ThreeReplies(), request).replies.empty());
    EXPECT_EQ(other.ip, Gate().ip);
}

TEST(Assignment, OtherCodesAndCutOptionsAreNoRequest) {
    Bytes discovery = {0x01, 0x01, 0x00, 0x00, 0x00, 0x3f, 0x00, 0x00};
    EXPECT_FALSE(ParseAssignRequest(discovery));
    Bytes cut = FixedRequest(0x01, kOverThird);
    cut.resize(40);  // inside the subnet option
    EXPECT_FALSE(ParseAssignRequest(cut));
}

}  // namespace
}  // namespace camsim::drovik
