// A camera's mDNS answer against bytes written out by hand from the DNS
// message layout (RFC 1035 4.1, RFC 6762): header, then per record owner
// name, type, class, TTL, RDLENGTH, RDATA.

#include "mdns_answer_wire.h"
#include "mdns_message_walk.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace camsim::mdns {
namespace {

using testing::Bytes;
using testing::WalkMessage;

// The bytes of a text, so literal messages can spell labels as text.
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Short fields keep the literal messages short.
Camera Small() {
    Camera cam;
    cam.name = "Lo";
    cam.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01};
    cam.ip = {10, 0, 0, 5};
    cam.subnet = {255, 0, 0, 0};
    cam.gateway = {10, 0, 0, 1};
    cam.productName = "Z";
    cam.mdns = true;
    return cam;
}

TEST(MdnsAnswer, UncompressedDefaultAnswerByteForByte) {
    Camera cam = Small();
    cam.mdnsCompression = false;
    // Every name written in full: 18, 34 and 23 bytes.
    const Bytes service = Cat({{5}, Text("_http"), {4}, Text("_tcp"), {5}, Text("local"), {0}});
    const Bytes instance =
        Cat({{15}, Text("Lo-02e5a1000001"), {5}, Text("_http"), {4}, Text("_tcp"), {5}, Text("local"), {0}});
    const Bytes host = Cat({{15}, Text("Lo-02e5a1000001"), {5}, Text("local"), {0}});
    const Bytes ttl = {0x00, 0x00, 0x00, 0x78};
    // clang-format off
    const Bytes expected = Cat({
        {0x00, 0x00, 0x84, 0x00},                          // ID 0, flags: response, authoritative
        {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03},  // QD 0, AN 1, NS 0, AR 3
        service, {0x00, 0x0c, 0x00, 0x01}, ttl, {0x00, 34}, instance,  // PTR, class IN without cache flush
        instance, {0x00, 0x21, 0x80, 0x01}, ttl, {0x00, 29},           // SRV, cache flush
        {0x00, 0x00, 0x00, 0x00, 0x00, 80}, host,                       // priority, weight, port 80, target
        instance, {0x00, 0x10, 0x80, 0x01}, ttl, {0x00, 116},          // TXT
        {14}, Text("server name=Lo"),
        {16}, Text("ip addr=10.0.0.5"),
        {16}, Text("subnet=255.0.0.0"),
        {16}, Text("gateway=10.0.0.1"),
        {14}, Text("product name=Z"),
        {13}, Text("dhcp=disabled"),
        {20}, Text("hw addr=02e5a1000001"),
        host, {0x00, 0x01, 0x80, 0x01}, ttl, {0x00, 4}, {10, 0, 0, 5},  // A
    });
    // clang-format on
    Answer answer = BuildAnswer(cam);
    ASSERT_TRUE(answer.Ok()) << answer.error;
    EXPECT_EQ(answer.bytes, expected);
    EXPECT_EQ(WalkMessage(answer.bytes).pointers, 0);
}

TEST(MdnsAnswer, CompressedAnswerWithEveryRecordByteForByte) {
    Camera cam = Small();
    cam.httpPort = 8080;
    cam.txt = std::vector<std::string>{"k=v"};
    cam.mdnsOrder = {MdnsRecord::Srv, MdnsRecord::Txt, MdnsRecord::A, MdnsRecord::Aaaa, MdnsRecord::Nsec};
    const Bytes ttl = {0x00, 0x00, 0x00, 0x78};
    // Offsets: "_http" label at 12, "local" at 23, the instance label in the
    // PTR data at 40 (0x28), the host label in the SRV target at 76 (0x4c).
    // clang-format off
    const Bytes expected = Cat({
        {0x00, 0x00, 0x84, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05},
        {5}, Text("_http"), {4}, Text("_tcp"), {5}, Text("local"), {0},              // 12: PTR owner
        {0x00, 0x0c, 0x00, 0x01}, ttl, {0x00, 18},
        {15}, Text("Lo-02e5a1000001"), {0xc0, 0x0c},                          // 40: instance, then -> 12
        {0xc0, 0x28}, {0x00, 0x21, 0x80, 0x01}, ttl, {0x00, 24},           // 58: SRV owner -> 40
        {0x00, 0x00, 0x00, 0x00, 0x1f, 0x90},                              // port 8080
        {15}, Text("Lo-02e5a1000001"), {0xc0, 0x17},                          // 76: host label, then -> "local"
        {0xc0, 0x28}, {0x00, 0x10, 0x80, 0x01}, ttl, {0x00, 4}, {3}, Text("k=v"),  // TXT
        {0xc0, 0x4c}, {0x00, 0x01, 0x80, 0x01}, ttl, {0x00, 4}, {10, 0, 0, 5},  // A, owner -> 76
        {0xc0, 0x4c}, {0x00, 0x1c, 0x80, 0x01}, ttl, {0x00, 16},                // AAAA fe80::e5:a1ff:fe00:1
        {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0xe5, 0xa1, 0xff, 0xfe, 0x00, 0x00, 0x01},
        {0xc0, 0x4c}, {0x00, 0x2f, 0x80, 0x01}, ttl, {0x00, 8},                 // NSEC
        {0xc0, 0x4c}, {0x00, 0x04, 0x40, 0x00, 0x00, 0x08},  // next name; window 0, 4 bytes: A and AAAA
    });
    // clang-format on
    Answer answer = BuildAnswer(cam);
    ASSERT_TRUE(answer.Ok()) << answer.error;
    EXPECT_EQ(answer.bytes, expected);

    auto walked = WalkMessage(answer.bytes);
    EXPECT_EQ(walked.problem, "");
    EXPECT_EQ(walked.pointers, 8);
}

std::vector<std::uint16_t> Types(const std::vector<testing::WalkedRecord>& records) {
    std::vector<std::uint16_t> out;
    for (const auto& r : records) out.push_back(r.type);
    return out;
}

TEST(MdnsAnswer, OrderAndSectionSwitches) {
    Camera cam = Small();
    cam.name = "Gate";
    cam.mdnsOrder = {MdnsRecord::Nsec, MdnsRecord::Txt, MdnsRecord::Aaaa, MdnsRecord::Srv, MdnsRecord::Txt};
    auto walked = WalkMessage(BuildAnswer(cam).bytes);
    ASSERT_EQ(walked.problem, "");
    EXPECT_EQ(Types(walked.answers), (std::vector<std::uint16_t>{12}));
    EXPECT_EQ(walked.answers[0].names, (std::vector<std::string>{"Gate-02e5a1000001._http._tcp.local"}));
    EXPECT_EQ(Types(walked.additionals), (std::vector<std::uint16_t>{47, 16, 28, 33, 16}));

    cam.mdnsSection = MdnsSection::Answer;
    walked = WalkMessage(BuildAnswer(cam).bytes);
    ASSERT_EQ(walked.problem, "");
    EXPECT_EQ(Types(walked.answers), (std::vector<std::uint16_t>{12, 47, 16, 28, 33, 16}));
    EXPECT_TRUE(walked.additionals.empty());

    cam.mdnsOrder.clear();  // the PTR alone
    cam.mdnsSection = MdnsSection::Additional;
    walked = WalkMessage(BuildAnswer(cam).bytes);
    ASSERT_EQ(walked.problem, "");
    EXPECT_EQ(Types(walked.answers), (std::vector<std::uint16_t>{12}));
    EXPECT_TRUE(walked.additionals.empty());
}

TEST(MdnsAnswer, NamesAndTextsThatDnsCannotCarryAreRefused) {
    Camera longName = Small();
    longName.name = std::string(51, 'n');  // 51 + 1 + 12 > 63: the default label is too long
    EXPECT_FALSE(BuildAnswer(longName).Ok());
    longName.name = std::string(50, 'n');
    EXPECT_TRUE(BuildAnswer(longName).Ok());

    Camera longText = Small();
    longText.txt = std::vector<std::string>{std::string(255, 'x')};
    EXPECT_TRUE(BuildAnswer(longText).Ok());
    longText.txt = std::vector<std::string>{std::string(256, 'x')};
    EXPECT_FALSE(BuildAnswer(longText).Ok());

    Camera tooBig = Small();
    tooBig.txt = std::vector<std::string>(40, std::string(250, 'x'));  // about 10 kB
    Answer answer = BuildAnswer(tooBig);
    EXPECT_FALSE(answer.Ok());
    EXPECT_NE(answer.error.find("8972"), std::string::npos) << answer.error;
}

}  // namespace
}  // namespace camsim::mdns
