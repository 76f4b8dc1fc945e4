// Camera-side discovery wire code against byte arrays written out by hand
// from the wire layout: header, hardware address, nonce, then
// type / 0 / length (big-endian) / value options ending with type 0.

#include "drovik_responder_wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace camsim::drovik {
namespace {

using Bytes = std::vector<std::uint8_t>;

// clang-format off
const Nonce kNonce{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                   0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f};
// clang-format on

Camera Lobby() {
    Camera cam;
    cam.name = "Lobby";
    cam.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01};
    cam.ip = {10, 77, 0, 11};
    cam.subnet = {255, 255, 255, 0};
    cam.gateway = {10, 77, 0, 1};
    cam.productName = "ZC-100";
    cam.productCode = "3c";
    cam.dhcp = 0;
    cam.httpPort = 8080;
    return cam;
}

Camera WithLastByte(std::uint8_t last) {
    Camera cam;
    cam.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, last};
    return cam;
}

TEST(DiscoveryReply, FullCameraGivesEveryOptionInOrder) {
    // clang-format off
    const Bytes expected = {
        0x01, 0x02, 0x00, 0x00, 0x00, 0x00,                          // packet ID, reply code, zeros
        0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01,                          // hardware address
        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,              // nonce
        0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,              //
        0x01, 0x00, 0x00, 0x04, 10, 77, 0, 11,                       // IP address
        0x02, 0x00, 0x00, 0x04, 255, 255, 255, 0,                    // subnet mask
        0x03, 0x00, 0x00, 0x04, 10, 77, 0, 1,                        // gateway
        0x04, 0x00, 0x00, 0x05, 'L', 'o', 'b', 'b', 'y',             // name, no NUL
        0x05, 0x00, 0x00, 0x02, '3', 'c',                            // product code as hex text
        0x07, 0x00, 0x00, 0x06, 'Z', 'C', '-', '1', '0', '0',        // product name
        0x08, 0x00, 0x00, 0x01, 0x00,                                // dhcp
        0x0b, 0x00, 0x00, 0x02, 0x1f, 0x90,                          // HTTP port 8080
        0x00, 0x00, 0x00, 0x00,                                      // end
    };
    // clang-format on
    EXPECT_EQ(BuildDiscoveryReply(Lobby(), 1, kNonce), expected);
}

TEST(DiscoveryReply, BareCameraOmitsProductCodeAndHttpPort) {
    Camera cam;
    cam.hwAddr = {0x02, 0xe5, 0xa1, 0xaa, 0xbb, 0xcc};
    // clang-format off
    const Bytes expected = {
        0x07, 0x02, 0x00, 0x00, 0x00, 0x00,  // packet ID echoed from the request
        0x02, 0xe5, 0xa1, 0xaa, 0xbb, 0xcc,
        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
        0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
        0x01, 0x00, 0x00, 0x04, 0, 0, 0, 0,
        0x02, 0x00, 0x00, 0x04, 0, 0, 0, 0,
        0x03, 0x00, 0x00, 0x04, 0, 0, 0, 0,
        0x04, 0x00, 0x00, 0x00,              // empty name
        0x07, 0x00, 0x00, 0x00,              // empty product name
        0x08, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x00, 0x00,
    };
    // clang-format on
    EXPECT_EQ(BuildDiscoveryReply(cam, 7, kNonce), expected);
}

// The tail of the reply after the regular options a camera's settings add or leave out.
TEST(DiscoveryReply, OptionalFieldsAndExtrasEndTheReply) {
    Camera optional = WithLastByte(0x01);
    optional.productCode = "";  // present but empty: still sent
    optional.httpPort = 0x0102;
    optional.dhcp = 2;
    Camera extras = WithLastByte(0x01);
    extras.extraOptions.push_back({9, {0x01, 0x02}, std::nullopt});
    extras.extraOptions.push_back({1, {192, 168, 0, 9}, std::nullopt});  // a second IP option
    extras.extraOptions.push_back({12, {0xaa}, std::uint16_t{0x0100}});  // claims more than it holds
    extras.noEndMarker = true;
    // clang-format off
    const std::pair<Camera, Bytes> cases[] = {
        {optional, {
             0x05, 0x00, 0x00, 0x00,              // empty product code
             0x07, 0x00, 0x00, 0x00,
             0x08, 0x00, 0x00, 0x01, 0x02,        // dhcp byte as is
             0x0b, 0x00, 0x00, 0x02, 0x01, 0x02,  // port, big-endian
             0x00, 0x00, 0x00, 0x00,
         }},
        {extras, {
             0x08, 0x00, 0x00, 0x01, 0x00,
             0x09, 0x00, 0x00, 0x02, 0x01, 0x02,
             0x01, 0x00, 0x00, 0x04, 192, 168, 0, 9,
             0x0c, 0x00, 0x01, 0x00, 0xaa,        // and no end marker after it
         }},
    };
    // clang-format on
    for (const auto& [cam, tail] : cases) {
        Bytes reply = BuildDiscoveryReply(cam, 1, kNonce);
        ASSERT_GE(reply.size(), tail.size());
        EXPECT_EQ(Bytes(reply.end() - tail.size(), reply.end()), tail);
    }
}

TEST(DiscoveryReply, LengthIsBigEndianForLongText) {
    Camera cam = WithLastByte(0x01);
    cam.name = std::string(300, 'n');
    Bytes reply = BuildDiscoveryReply(cam, 1, kNonce);
    // Options 1-3 take 24 bytes after the 28-byte fixed part.
    ASSERT_GT(reply.size(), 28u + 24u + 4u + 300u);
    EXPECT_EQ(Bytes(reply.begin() + 52, reply.begin() + 56), (Bytes{0x04, 0x00, 0x01, 0x2c}));
    EXPECT_EQ(reply[56 + 299], 'n');
    EXPECT_EQ(reply[56 + 300], 0x07);  // next option right after the value
}

TEST(DiscoveryRequest, ParsesOnlyDiscoveryRequestsOfEightBytesOrMore) {
    const Bytes request = {0x01, 0x01, 0x00, 0x00, 0x40, 0x7f, 0x00, 0x00};
    auto parsed = ParseDiscoveryRequest(request);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->packetId, 0x01);
    EXPECT_EQ(parsed->rangeLow, 64);
    EXPECT_EQ(parsed->rangeHigh, 127);
    Bytes longer = request;
    longer.push_back(0xff);
    EXPECT_TRUE(ParseDiscoveryRequest(longer));
    // Cut short, empty, and the assignment request and reply codes are no discovery.
    for (const Bytes& other : {Bytes(request.begin(), request.end() - 1), Bytes{},
                               Bytes{0x01, 0x03, 0, 0, 0, 255, 0, 0}, Bytes{0x01, 0x05, 0, 0, 0, 255, 0, 0}}) {
        EXPECT_FALSE(ParseDiscoveryRequest(other)) << ::testing::PrintToString(other);
    }
}

// Scans see every mode and a camera out of the broadcast discovery
// (ScanLan, MdnsLan); the edges of the range are only seen here.
TEST(DiscoveryRequest, RangeModeAnswersOnlyTheRangeHoldingTheLastByte) {
    const struct {
        std::uint8_t last, low, high;
        bool answers;
        // clang-format off
    } cases[] = {
        {63, 0, 63, true},    {63, 64, 127, false},   {64, 0, 63, false},   {64, 64, 127, true},
        {0, 0, 63, true},     {191, 128, 191, true},  {255, 192, 255, true}, {255, 128, 191, false},
        {100, 127, 64, false},  // an inverted range holds nothing
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(AnswersRequest(WithLastByte(c.last), DiscoveryRequest{1, c.low, c.high}), c.answers)
            << int(c.last) << " in " << int(c.low) << "-" << int(c.high);
    }
    // Only the last byte counts.
    Camera cam = WithLastByte(5);
    cam.hwAddr[4] = 200;
    EXPECT_TRUE(AnswersRequest(cam, DiscoveryRequest{1, 0, 63}));
    EXPECT_FALSE(AnswersRequest(cam, DiscoveryRequest{1, 192, 255}));
}

TEST(DiscoveryReply, DestinationIsRequesterUnlessEitherHasNoAddress) {
    const Ipv4 requester{10, 77, 0, 2};
    const Ipv4 broadcast{255, 255, 255, 255};
    Camera cam = Lobby();
    EXPECT_EQ(ReplyDestination(cam, requester), requester);
    EXPECT_EQ(ReplyDestination(cam, Ipv4{0, 0, 0, 0}), broadcast);  // cannot be answered by unicast
    cam.ip = {0, 0, 0, 0};
    EXPECT_EQ(ReplyDestination(cam, requester), broadcast);
}

}  // namespace
}  // namespace camsim::drovik
