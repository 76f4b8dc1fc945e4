// Discovery wire format, pinned with literal bytes.
#include "drovik_wire.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "reply_book.h"
#include "trace_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Header of a reply from 02:e5:a1:00:00:42 with nonce 10 11 .. 1f.
Bytes FixedPart(uint8_t lastHw = 0x42, uint8_t oui0 = 0x02) {
    // clang-format off
    return {0x01, 0x02, 0x00, 0x00, 0x00, 0x00,                    // not read
            oui0, 0xe5, 0xa1, 0x00, 0x00, lastHw,                  // hardware address
            0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,        // nonce
            0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f};
    // clang-format on
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// clang-format off
const Bytes kAllOptions = {
    0x01, 0x00, 0x00, 0x04, 192, 168, 1, 20,             // IP address
    0x02, 0x00, 0x00, 0x04, 255, 255, 255, 0,            // subnet mask
    0x03, 0x00, 0x00, 0x04, 192, 168, 1, 1,              // gateway
    0x04, 0x00, 0x00, 0x05, 'L', 'o', 'b', 'b', 'y',     // name
    0x05, 0x00, 0x00, 0x02, '3', 'c',                    // product code
    0x06, 0x00, 0x00, 0x03, 'x', 'y', 'z',               // unused type
    0x07, 0x00, 0x00, 0x06, 'Z', 'C', '-', '1', '0', '0',  // product name
    0x08, 0x00, 0x00, 0x01, 0x01,                        // dhcp
    0x0b, 0x00, 0x00, 0x02, 0x1f, 0x90,                  // http port 8080
    0x00, 0x00, 0x00, 0x00,                              // end
};
// clang-format on

CameraRecord Read(const Bytes& reply) {
    CameraRecord record;
    std::memset(&record, 0xAA, sizeof record);
    EXPECT_TRUE(drovik::ReadReply(reply.data(), reply.size(), record));
    return record;
}

drovik::Reply Collected(const Bytes& bytes) {
    drovik::Reply reply{};
    reply.length = bytes.size();
    std::memcpy(reply.bytes, bytes.data(), bytes.size());
    return reply;
}

TEST(DrovikRequest, EightBytesWithRange) {
    EXPECT_EQ(drovik::MakeDiscoveryRequest(0, 63), (drovik::DiscoveryRequest{0x01, 0x01, 0, 0, 0, 63, 0, 0}));
    EXPECT_EQ(drovik::MakeDiscoveryRequest(192, 255), (drovik::DiscoveryRequest{0x01, 0x01, 0, 0, 192, 255, 0, 0}));
}

TEST(DrovikReply, EveryOptionFillsItsField) {
    CameraRecord r = Read(FixedPart() + kAllOptions);
    const uint8_t hw[6] = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x42};
    EXPECT_EQ(0, std::memcmp(r.hwAddr, hw, 6));
    EXPECT_STREQ(r.hwAddrText, "02:e5:a1:00:00:42");
    EXPECT_EQ(r.nonce[0], 0x10);
    EXPECT_EQ(r.nonce[15], 0x1f);
    EXPECT_STREQ(r.ipAddrText, "192.168.1.20");
    const uint8_t ip[4] = {192, 168, 1, 20};
    EXPECT_EQ(0, std::memcmp(&r.ipAddr, ip, 4));
    EXPECT_STREQ(r.subnetText, "255.255.255.0");
    EXPECT_STREQ(r.gatewayText, "192.168.1.1");
    EXPECT_STREQ(r.name, "Lobby");
    EXPECT_EQ(r.productCode, 0x3c);
    EXPECT_STREQ(r.productName, "ZC-100");
    EXPECT_EQ(r.dhcp, 1);
    EXPECT_EQ(r.httpPort, 8080);
    EXPECT_EQ(r.foundByDrovik, 0);  // set when the record is kept, not by the parser
    EXPECT_EQ(r.ifaceAddr.sin_addr.s_addr, 0u);
}

TEST(DrovikReply, FixedPartAloneGivesDefaults) {
    EXPECT_FALSE([] {
        CameraRecord r;
        Bytes shortReply = FixedPart();
        shortReply.pop_back();  // 27 bytes
        return drovik::ReadReply(shortReply.data(), shortReply.size(), r);
    }());
    CameraRecord r = Read(FixedPart());
    EXPECT_EQ(r.httpPort, 80);
    EXPECT_STREQ(r.name, "");
    EXPECT_STREQ(r.ipAddrText, "");
    EXPECT_EQ(r.productCode, 0);
    EXPECT_EQ(r.dhcp, 0);
}

TEST(DrovikReply, WalkStopsAtEndMarkerAndAtTruncatedOptions) {
    // Options after the end marker are not read.
    CameraRecord r = Read(FixedPart() + Bytes{0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x01, 'X'});
    EXPECT_STREQ(r.name, "");

    // A value that runs past the datagram ends the walk; earlier options stay.
    r = Read(FixedPart() + Bytes{0x04, 0x00, 0x00, 0x02, 'A', 'B', 0x07, 0x00, 0x00, 0x09, 'Z', 'C'});
    EXPECT_STREQ(r.name, "AB");
    EXPECT_STREQ(r.productName, "");

    // Fewer bytes left than an option header.
    r = Read(FixedPart() + Bytes{0x04, 0x00, 0x00, 0x01, 'A', 0x07, 0x00, 0x00});
    EXPECT_STREQ(r.name, "A");

    // No end marker: the datagram's end ends the walk.
    r = Read(FixedPart() + Bytes{0x0b, 0x00, 0x00, 0x02, 0x00, 0x51});
    EXPECT_EQ(r.httpPort, 81);
}

TEST(DrovikReply, ShortAddressAndPortValuesAreSkipped) {
    // clang-format off
    CameraRecord r = Read(FixedPart() + Bytes{
                                            0x01, 0x00, 0x00, 0x03, 10, 0, 0,       // IP, 3 bytes: skipped
                                            0x02, 0x00, 0x00, 0x00,                 // subnet, empty: skipped
                                            0x03, 0x00, 0x00, 0x02, 10, 0,          // gateway, 2 bytes: skipped
                                            0x0b, 0x00, 0x00, 0x01, 0x22,           // port, 1 byte: skipped
                                            0x08, 0x00, 0x00, 0x00,                 // dhcp, empty: skipped
                                            0x04, 0x00, 0x00, 0x02, 'O', 'K',       // the walk goes on
                                        });
    // clang-format on
    EXPECT_STREQ(r.ipAddrText, "");
    EXPECT_EQ(r.ipAddr, 0u);
    EXPECT_STREQ(r.subnetText, "");
    EXPECT_STREQ(r.gatewayText, "");
    EXPECT_EQ(r.httpPort, 80);
    EXPECT_EQ(r.dhcp, 0);
    EXPECT_STREQ(r.name, "OK");
}

TEST(DrovikReply, LaterOptionOverridesAndLongerValuesUseTheirStart) {
    // clang-format off
    CameraRecord r = Read(FixedPart() + Bytes{
                                            0x04, 0x00, 0x00, 0x03, 'O', 'n', 'e',
                                            0x01, 0x00, 0x00, 0x06, 10, 1, 2, 3, 9, 9,  // 6-byte address: first 4
                                            0x04, 0x00, 0x00, 0x03, 'T', 'w', 'o',
                                            0x08, 0x00, 0x00, 0x02, 0x02, 0x07,        // dhcp 2
                                            0x01, 0x00, 0x00, 0x04, 10, 1, 2, 4,
                                        });
    // clang-format on
    EXPECT_STREQ(r.name, "Two");
    EXPECT_STREQ(r.ipAddrText, "10.1.2.4");
    EXPECT_EQ(r.dhcp, 2);
}

TEST(DrovikReply, TextsStopAtNulAndAreCutToTheirField) {
    Bytes options = Bytes{0x04, 0x00, 0x00, 60} + Bytes(60, 'n') + Bytes{0x07, 0x00, 0x00, 20} + Bytes(20, 'p');
    CameraRecord r = Read(FixedPart() + options);
    EXPECT_EQ(std::string(r.name), std::string(49, 'n'));
    EXPECT_EQ(std::string(r.productName), std::string(15, 'p'));

    r = Read(FixedPart() + Bytes{0x04, 0x00, 0x00, 0x05, 'A', 'b', 0x00, 'c', 'd'});
    EXPECT_STREQ(r.name, "Ab");
}

TEST(DrovikReply, ProductCodeReadAsStrtolBase16) {
    struct Case {
        Bytes text;
        int32_t code;
    } cases[] = {
        {{'3', 'c'}, 60},
        {{}, 0},
        {{'z', 'z'}, 0},
        {{' ', '0', 'x', '1', 'F'}, 31},
        {{'-', 'a'}, -10},
        {{'1', '0', 'g', '5'}, 16},
        {{'3', 'c', 0x00, 'f', 'f'}, 60},
        {{'f', 'f', 'f', 'f', 'f', 'f', 'f', 'f', 'f'}, 0x7fffffff},  // saturates like a 32-bit long
    };
    for (const Case& c : cases) {
        Bytes options = {0x05, 0x00, 0x00, static_cast<uint8_t>(c.text.size())};
        CameraRecord r = Read(FixedPart() + options + c.text);
        EXPECT_EQ(r.productCode, c.code) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(DrovikRecords, OuiFilterDuplicatesAndRecordForming) {
    TraceCapture trace;
    drovik::Reply replies[5] = {
        Collected(FixedPart(0x01) + kAllOptions),
        Collected(FixedPart(0x02, 0x00)),                        // another maker
        Collected(FixedPart(0x03)),                              // no options
        Collected(FixedPart(0x01) + Bytes{0x04, 0, 0, 1, 'Q'}),  // same camera again, later pass
        Collected(FixedPart(0x02, 0x00)),                        // the other maker again
    };
    CameraRecord out[5];
    int n = drovik::BuildRecords(replies, 5, out);  // without duplicate marks first
    EXPECT_EQ(n, 3);

    drovik::MarkDuplicates(replies, 5);
    EXPECT_FALSE(replies[0].duplicate);
    EXPECT_TRUE(replies[3].duplicate);
    EXPECT_FALSE(replies[4].duplicate);  // another maker's device is no camera: never compared
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"entry 3/02:e5:a1:00:00:01 is a duplicate"}));

    n = drovik::BuildRecords(replies, 5, out);
    ASSERT_EQ(n, 2);
    EXPECT_STREQ(out[0].name, "Lobby");  // first reply wins
    EXPECT_EQ(out[0].foundByDrovik, 1);
    EXPECT_STREQ(out[0].httpPortText, "8080");
    EXPECT_STREQ(out[0].webAddr, "192.168.1.20:8080");
    EXPECT_STREQ(out[1].hwAddrText, "02:e5:a1:00:00:03");
    EXPECT_STREQ(out[1].webAddr, ":80");
    EXPECT_EQ(trace.Lines().size(), 1u);  // the other maker's device left no trace line
}

TEST(DrovikRecords, ShortRepliesTakeNoPart) {
    Bytes shortOne = FixedPart(0x01);
    shortOne.resize(20);
    drovik::Reply replies[2] = {Collected(shortOne), Collected(FixedPart(0x01))};
    TraceCapture trace;
    drovik::MarkDuplicates(replies, 2);
    EXPECT_FALSE(replies[1].duplicate);
    CameraRecord out[2];
    EXPECT_EQ(drovik::BuildRecords(replies, 2, out), 1);
    EXPECT_TRUE(trace.Lines().empty());
}

// One datagram of a discovery as CDrovik::Discover collects it.
struct Heard {
    Bytes bytes;
    const char* from;
    int8_t pass = 0;
};

// The collection loop's steps: a datagram keeps its slot only when accepted.
int Collect(const std::vector<Heard>& heard, drovik::Reply* table, CameraRecord* out) {
    int held = 0, arrival = 0;
    for (const Heard& h : heard) {
        if (held == drovik::kMaxReplies) break;
        drovik::Reply& slot = table[held];
        std::memcpy(slot.bytes, h.bytes.data(), std::min(h.bytes.size(), sizeof slot.bytes));
        sockaddr_in from{};
        inet_pton(AF_INET, h.from, &from.sin_addr);
        CameraRecord record;
        if (drovik::HoldReply(slot, h.bytes.size(), from, h.pass) &&
            drovik::AcceptReply(table, held, arrival++, record))
            ++held;
    }
    drovik::MarkDuplicates(table, held);
    return drovik::BuildRecords(table, held, out);
}

Bytes WithNonce(Bytes reply, uint8_t first) {
    reply[12] = first;
    return reply;
}

// Cloned units, forgers and junk beside cameras that draw a new challenge for
// every reply: each device is listed once, a cloned address twice and marked,
// and no datagram that is not a new camera takes a place.
TEST(DrovikRecords, ClonesListedTwiceMarkedAndJunkTakesNoPlace) {
    TraceCapture trace;
    const std::vector<Heard> heard = {
        {FixedPart(0x01), "10.0.0.10", 0},
        {WithNonce(FixedPart(0x01), 0x99), "10.0.0.10", 1},  // the same camera, next pass, new challenge
        {FixedPart(0x02), "10.0.0.11", 0},
        {FixedPart(0x02), "10.0.0.12", 0},  // a clone at another address
        {FixedPart(0x02), "10.0.0.13", 0},  // and a third device: not listed again
        {FixedPart(0x03), "0.0.0.0", 0},    // two unaddressed clones, one request
        {WithNonce(FixedPart(0x03), 0x77), "0.0.0.0", 0},
        {FixedPart(0x04), "0.0.0.0", -1},  // one camera hearing a request on two links
        {WithNonce(FixedPart(0x04), 0x55), "0.0.0.0", -1},
        {FixedPart(0x05, 0x00), "10.0.0.20", 0},  // another maker
        {Bytes(27, 0x02), "10.0.0.21", 0},        // too short
    };
    static drovik::Reply table[drovik::kMaxReplies];
    static CameraRecord out[drovik::kMaxReplies];
    int n = Collect(heard, table, out);
    std::vector<std::string> listed;
    for (int i = 0; i < n; ++i) listed.push_back(std::string(out[i].hwAddrText) + (out[i].conflict ? " conflict" : ""));
    EXPECT_EQ(listed, (std::vector<std::string>{"02:e5:a1:00:00:01", "02:e5:a1:00:00:02 conflict",
                                                "02:e5:a1:00:00:02 conflict", "02:e5:a1:00:00:03 conflict",
                                                "02:e5:a1:00:00:03 conflict", "02:e5:a1:00:00:04"}));
    EXPECT_EQ(out[4].nonce[0], 0x77);  // the clone's own challenge
    EXPECT_TRUE(trace.Contains("entry 1/02:e5:a1:00:00:01 is a duplicate"));
    EXPECT_TRUE(trace.Contains("entry 3/02:e5:a1:00:00:02 is a second device with that address"));
}

// The reply book as a discovery fills it: the limit's worth of cameras, each
// answer followed by junk of a reply's size, a forged repeat of the camera
// and another maker's device; then cameras past the limit, each answering
// twice. Every camera within the limit is listed in arrival order, the junk
// takes no place, and those past it are counted once each.
TEST(DrovikRecords, ReplyBookListsTheLimitAndCountsTheRest) {
    constexpr int kPast = 37;
    auto book = std::make_unique<drovik::ReplyBook>();
    int arrival = 0, listed = 0, notListed = 0;
    auto hear = [&](const Bytes& bytes, const char* sender) {
        drovik::Reply& slot = book->Slot();
        std::memcpy(slot.bytes, bytes.data(), std::min(bytes.size(), sizeof slot.bytes));
        sockaddr_in from{};
        inet_pton(AF_INET, sender, &from.sin_addr);
        CameraRecord record;
        if (!drovik::HoldReply(slot, bytes.size(), from, 0)) return;
        const drovik::ReplyBook::Taken taken = book->Take(arrival++, record);
        listed += taken == drovik::ReplyBook::Taken::Listed;
        notListed += taken == drovik::ReplyBook::Taken::NotListed;
    };
    for (int i = 0; i < drovik::kMaxReplies + kPast; ++i) {
        Bytes camera = FixedPart();
        camera[10] = static_cast<uint8_t>(i >> 8);
        camera[11] = static_cast<uint8_t>(i);
        hear(camera, "10.0.1.1");
        hear(Bytes(40, static_cast<uint8_t>(i)), "10.0.9.9");
        hear(camera, "10.0.1.1");
        hear(FixedPart(static_cast<uint8_t>(i), 0x00), "10.0.9.8");
    }
    EXPECT_EQ(listed, drovik::kMaxReplies);
    EXPECT_EQ(notListed, kPast);
    EXPECT_EQ(book->Held(), drovik::kMaxReplies);
    EXPECT_EQ(book->NotListed(), kPast);

    auto out = std::make_unique<CameraRecord[]>(drovik::kMaxReplies);
    ASSERT_EQ(book->Build(out.get()), drovik::kMaxReplies);
    for (int i = 0; i < drovik::kMaxReplies; ++i) ASSERT_EQ(out[i].hwAddr[4] << 8 | out[i].hwAddr[5], i);
}

TEST(DrovikRecords, WebAddrAtTheLongestTexts) {
    CameraRecord r = Read(FixedPart() + Bytes{0x01, 0, 0, 4, 255, 255, 255, 255, 0x0b, 0, 0, 2, 0xff, 0xff});
    FormWebAddr(r);
    EXPECT_STREQ(r.webAddr, "255.255.255.255:65535");
}

}  // namespace
