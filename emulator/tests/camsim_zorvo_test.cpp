// The cameras' OID service against requests and replies written out by hand:
// 4-byte big-endian status first; generation 4 echoes command and sequence
// in bytes 4-5; texts end with a NUL; a refusal carries a fresh nonce.

#include "md5_text.h"
#include "zorvo_server_wire.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace camsim::zorvo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using camsim::testing::Md5;

// Nonces the service draws, in order: 00..0f, 10..1f, 20..2f, ...
OidService::NonceFn Nonces() {
    return [drawn = 0]() mutable {
        Nonce n;
        for (std::size_t i = 0; i < n.size(); ++i) n[i] = static_cast<std::uint8_t>(drawn * 16 + static_cast<int>(i));
        ++drawn;
        return n;
    };
}

Bytes Plus(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Bytes Cat(const Bytes& head, const std::array<std::uint8_t, 16>& middle, const Bytes& tail) {
    return Plus(Plus(head, Bytes(middle.begin(), middle.end())), tail);
}

Bytes NonceBytes(std::uint8_t first) {
    Bytes out;
    for (std::uint8_t i = 0; i < 16; ++i) out.push_back(static_cast<std::uint8_t>(first + i));
    return out;
}

Camera OidCamera(std::int32_t version, ZorvoFault fault = ZorvoFault::None) {
    Camera cam;
    cam.name = "Lobby";
    cam.zorvo = true;
    cam.zorvoVersion = version;
    cam.zorvoFault = fault;
    cam.oids = {{"2.4", "Lobby"}, {"2.17", "UTC"}};
    return cam;
}

// Credentials over the nonces the service draws first, second and third.
const auto kOverFirst = Md5("000102030405060708090a0b0c0d0e0f:root:QIVNEP");
const auto kOverSecond = Md5("101112131415161718191a1b1c1d1e1f:root:QIVNEP");
const auto kOverThird = Md5("202122232425262728292a2b2c2d2e2f:root:QIVNEP");

TEST(OidService, Generation3ExchangeWithRefusalReadAndWrite) {
    Camera cam = OidCamera(3);
    OidService service(cam, Nonces());
    EXPECT_EQ(service.Answer(Bytes{0x07}), (Bytes{0, 0, 0, 0, 0, 0, 0, 3}));
    EXPECT_EQ(service.Answer(Bytes{0x10}), Plus({0, 0, 0, 0}, NonceBytes(0x10)));

    // A digest over the superseded first nonce: refused with a fresh one.
    const Bytes readName = {0, 0, 0, 2, '2', '.', '4', 0};
    EXPECT_EQ(service.Answer(Cat({0x0f}, kOverFirst, readName)), Plus({0, 0, 0, 1}, NonceBytes(0x20)));
    EXPECT_EQ(service.Answer(Cat({0x0f}, kOverThird, readName)), (Bytes{0, 0, 0, 0, 'L', 'o', 'b', 'b', 'y', 0}));

    EXPECT_EQ(service.Answer(Cat({0x0f}, kOverThird, {0, 0, 0, 3, '2', '.', '1', '7', 0, 'C', 'E', 'T', 0})),
              (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(service.Answer(Cat({0x0f}, kOverThird, {0, 0, 0, 2, '2', '.', '1', '7', 0})),
              (Bytes{0, 0, 0, 0, 'C', 'E', 'T', 0}));
    // Not in the table.
    EXPECT_EQ(service.Answer(Cat({0x0f}, kOverThird, {0, 0, 0, 2, '9', '.', '9', 0})), (Bytes{0, 0, 0, 2}));
}

TEST(OidService, Generation4ExchangeEchoesCommandAndSequence) {
    Camera cam = OidCamera(4);
    cam.password = "s3cret";
    OidService service(cam, Nonces());
    // The generation-3 version request is answered whatever the version.
    EXPECT_EQ(service.Answer(Bytes{0x07}), (Bytes{0, 0, 0, 0, 0, 0, 0, 4}));
    EXPECT_EQ(service.Answer(Bytes{0x25, 0x00}), (Bytes{0, 0, 0, 0, 0x25, 0x00, 0, 0, 0, 4}));
    EXPECT_EQ(service.Answer(Bytes{0x2e, 0x01}), Plus({0, 0, 0, 0, 0x2e, 0x01}, NonceBytes(0x10)));

    // The default password's digest is no proof of this camera's.
    const Bytes readName = {0, 0, 0, 2, '2', '.', '4', 0};
    EXPECT_EQ(service.Answer(Cat({0x2d, 0x02}, kOverSecond, readName)),
              Plus({0, 0, 0, 1, 0x2d, 0x02}, NonceBytes(0x20)));
    const auto overThird = Md5("202122232425262728292a2b2c2d2e2f:root:S3CRET");
    EXPECT_EQ(service.Answer(Cat({0x2d, 0x02}, overThird, readName)),
              (Bytes{0, 0, 0, 0, 0x2d, 0x02, 'L', 'o', 'b', 'b', 'y', 0}));

    EXPECT_EQ(service.Answer(Cat({0x2d, 0x03}, overThird, {0, 0, 0, 7, '2', '.', '4', 0, 'G', 'a', 't', 'e', 0})),
              (Bytes{0, 0, 0, 0, 0x2d, 0x03}));
    EXPECT_EQ(service.Answer(Cat({0x2d, 0x04}, overThird, readName)),
              (Bytes{0, 0, 0, 0, 0x2d, 0x04, 'G', 'a', 't', 'e', 0}));
    // Generation 3's write code is no write in generation 4.
    EXPECT_EQ(service.Answer(Cat({0x2d, 0x05}, overThird, {0, 0, 0, 3, '2', '.', '4', 0, 'X', 0})),
              (Bytes{0, 0, 0, 2, 0x2d, 0x05}));
}

TEST(OidService, MalformedRequestsGetNoReply) {
    Camera cam = OidCamera(4);
    OidService service(cam, Nonces());
    const Bytes requests[] = {
        {},
        {0x25},  // generation 4 without its sequence byte
        {0x2e},
        {0x99, 0x00},                                                        // no such command
        Cat({0x0f}, kOverFirst, {0, 0, 0}),                                  // operation cut short
        Cat({0x0f}, kOverFirst, {0, 0, 0, 2, '2', '.', '4'}),                // OID without NUL
        Cat({0x2d, 0x00}, kOverFirst, {0, 0, 0, 7, '2', '.', '4', 0, 'X'}),  // value without NUL
    };
    for (const Bytes& request : requests) {
        EXPECT_FALSE(service.Answer(request)) << ::testing::PrintToString(request);
    }
}

TEST(OidService, FaultsShapeTheReplies) {
    const Bytes readName = {0, 0, 0, 2, '2', '.', '4', 0};
    const Bytes read4 = Cat({0x2d, 0x09}, kOverFirst, readName);
    const Bytes read3 = Cat({0x0f}, kOverFirst, readName);
    const Bytes retry4 = Cat({0x2d, 0x09}, kOverSecond, readName);
    const Bytes lobby = {'L', 'o', 'b', 'b', 'y', 0};
    Bytes oversize = Plus({0, 0, 0, 0, 0x2d, 0x09}, lobby);
    oversize.resize(60);
    const struct {
        ZorvoFault fault;
        std::vector<std::pair<Bytes, Bytes>> exchange;  // requests and their replies, in turn
    } cases[] = {
        // A right digest is refused once; the fresh nonce then works.
        {ZorvoFault::RefuseFirst,
         {{read4, Plus({0, 0, 0, 1, 0x2d, 0x09}, NonceBytes(0x10))}, {retry4, Plus({0, 0, 0, 0, 0x2d, 0x09}, lobby)}}},
        {ZorvoFault::RefuseAlways,
         {{read4, Plus({0, 0, 0, 1, 0x2d, 0x09}, NonceBytes(0x10))},
          {retry4, Plus({0, 0, 0, 1, 0x2d, 0x09}, NonceBytes(0x20))}}},
        {ZorvoFault::WrongCommand, {{read4, Plus({0, 0, 0, 0, 0x2e, 0x09}, lobby)}}},
        {ZorvoFault::WrongSeq, {{read4, Plus({0, 0, 0, 0, 0x2d, 0x0a}, lobby)}}},
        {ZorvoFault::ShortRead, {{read4, {0, 0, 0, 0, 0x2d, 0x09}}, {read3, Plus({0, 0, 0, 0}, lobby)}}},
        // Version and nonce replies keep their size.
        {ZorvoFault::Oversize, {{read4, oversize}, {{0x07}, {0, 0, 0, 0, 0, 0, 0, 4}}}},
        {ZorvoFault::Status2, {{read4, {0, 0, 0, 2, 0x2d, 0x09}}, {read3, {0, 0, 0, 2}}}},
    };
    for (const auto& c : cases) {
        Camera cam = OidCamera(4, c.fault);
        OidService service(cam, Nonces());
        for (const auto& [request, reply] : c.exchange) {
            EXPECT_EQ(service.Answer(request), reply) << "fault " << static_cast<int>(c.fault);
        }
    }
}

}  // namespace
}  // namespace camsim::zorvo
