// The configuration protocols' bytes, pinned with literal arrays: OID requests
// of both generations, the version and nonce requests, credentials, error
// texts, the broadcast assignment request and reply, and the address rules.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "address_rules.h"
#include "drovik_assign_wire.h"
#include "url_value.h"
#include "zorvo_wire.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()) + Bytes{0}; }

TEST(ZorvoWire, OidRequestsOfBothGenerations) {
    uint8_t out[zorvo::kRequestBytes];
    // Generation 3: command 15 | digest | operation 2 read, 3 write | OID | value.
    std::size_t n = zorvo::BuildOidRequest3(zorvo::kOpRead, "2.4", nullptr, out);
    EXPECT_EQ(Bytes(out, out + n), (Bytes{0x0f} + Zeros(16) + Bytes{0, 0, 0, 2} + Text("2.4")));
    n = zorvo::BuildOidRequest3(zorvo::kOpWrite3, "2.4", "Cam", out);
    EXPECT_EQ(Bytes(out, out + n), (Bytes{0x0f} + Zeros(16) + Bytes{0, 0, 0, 3} + Text("2.4") + Text("Cam")));
    EXPECT_EQ(n, 29u);
    // Generation 4: command 45 | seqNo | digest | operation 2 read, 7 write | OID | value.
    n = zorvo::BuildOidRequest4(5, zorvo::kOpRead, "2.17", nullptr, out);
    EXPECT_EQ(Bytes(out, out + n), (Bytes{0x2d, 5} + Zeros(16) + Bytes{0, 0, 0, 2} + Text("2.17")));
    EXPECT_EQ(n, 27u);
    n = zorvo::BuildOidRequest4(9, zorvo::kOpWrite4, "1.2.29.4", "NTSC", out);
    EXPECT_EQ(Bytes(out, out + n), (Bytes{0x2d, 9} + Zeros(16) + Bytes{0, 0, 0, 7} + Text("1.2.29.4") + Text("NTSC")));
    EXPECT_EQ(zorvo::kDigestAt3, 1u);
    EXPECT_EQ(zorvo::kDigestAt4, 2u);

    // A request fills at most 100 bytes: OID and value 77 characters in generation 3, 76 in 4.
    EXPECT_EQ(zorvo::BuildOidRequest3(zorvo::kOpWrite3, "2.17", std::string(73, 'z').c_str(), out), 100u);
    EXPECT_EQ(zorvo::BuildOidRequest3(zorvo::kOpWrite3, "2.17", std::string(74, 'z').c_str(), out), 0u);
    EXPECT_EQ(zorvo::BuildOidRequest4(0, zorvo::kOpWrite4, "2.17", std::string(72, 'z').c_str(), out), 100u);
    EXPECT_EQ(zorvo::BuildOidRequest4(0, zorvo::kOpWrite4, "2.17", std::string(73, 'z').c_str(), out), 0u);

    EXPECT_EQ(zorvo::VersionRequest3(), (zorvo::ShortRequest3{7}));
    EXPECT_EQ(zorvo::NonceRequest3(), (zorvo::ShortRequest3{16}));
    EXPECT_EQ(zorvo::VersionRequest4(3), (zorvo::ShortRequest4{37, 3}));
    EXPECT_EQ(zorvo::NonceRequest4(200), (zorvo::ShortRequest4{46, 200}));
}

TEST(ZorvoWire, CredentialsAsciifyAndErrorTexts) {
    uint8_t counting[16];
    for (int i = 0; i < 16; ++i) counting[i] = static_cast<uint8_t>(i);
    char hex[33];
    EXPECT_STREQ(zorvo::Asciify(hex, counting), "000102030405060708090a0b0c0d0e0f");
    const uint8_t zero[16] = {};
    char text[zorvo::kCredentialsBytes];
    ASSERT_TRUE(zorvo::CredentialsText(zero, "root", "QIVNEP", text));
    EXPECT_STREQ(text, "00000000000000000000000000000000:root:QIVNEP");
    // User name and password together have 65 characters of room.
    EXPECT_TRUE(zorvo::CredentialsText(zero, std::string(30, 'u').c_str(), std::string(35, 'P').c_str(), text));
    EXPECT_FALSE(zorvo::CredentialsText(zero, std::string(30, 'u').c_str(), std::string(36, 'P').c_str(), text));

    EXPECT_STREQ(zorvo::ErrorText(0), "Success");
    EXPECT_STREQ(zorvo::ErrorText(12), "authentication failure");
    EXPECT_STREQ(zorvo::ErrorText(14), "couldn't read version, or wrong version");
    EXPECT_STREQ(zorvo::ErrorText(17), "mask request failure");
    for (int code : {18, -1, 21, 25}) EXPECT_STREQ(zorvo::ErrorText(code), "unknown error") << code;
}

TEST(DrovikAssignWire, FixedAndDhcpRequestsDigestAndReply) {
    uint8_t nonce[16];
    for (int i = 0; i < 16; ++i) nonce[i] = static_cast<uint8_t>(i);
    uint8_t digest[16];
    drovik::AssignDigest(nonce, digest);
    // MD5 of "000102030405060708090a0b0c0d0e0f:root:QIVNEP".
    const Bytes expectedDigest = {0x4d, 0x51, 0x42, 0x02, 0xb6, 0xc3, 0x17, 0x01,
                                  0xa8, 0xe9, 0x6f, 0xa4, 0xf1, 0x5a, 0x6d, 0x02};
    EXPECT_EQ(Bytes(digest, digest + 16), expectedDigest);

    const uint8_t hw[6] = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x05};
    uint8_t out[drovik::kAssignRequestBytes];
    std::size_t n = drovik::BuildAssignRequest(0x42, digest, hw, true, false, inet_addr("10.1.2.3"),
                                               inet_addr("255.255.255.0"), inet_addr("10.1.2.1"), out);
    const Bytes head = Bytes{0x42, 3, 0, 0} + expectedDigest + Bytes{0x02, 0xe5, 0xa1, 0x00, 0x00, 0x05};
    // clang-format off
    EXPECT_EQ(Bytes(out, out + n), (head + Bytes{1, 0,                      // reboot
                                                1, 0, 0, 4, 10, 1, 2, 3,      // IP
                                                2, 0, 0, 4, 255, 255, 255, 0,  // subnet
                                                3, 0, 0, 4, 10, 1, 2, 1,      // gateway
                                                8, 0, 0, 1, 0,                // dhcp off
                                                0, 0, 0, 0}));
    // clang-format on
    EXPECT_EQ(n, 61u);
    // DHCP: no address options, whatever the texts held.
    n = drovik::BuildAssignRequest(0x07, digest, hw, false, true, inet_addr("10.1.2.3"), 0, 0, out);
    EXPECT_EQ(Bytes(out, out + n), (Bytes{0x07, 3, 0, 0} + expectedDigest +
                                    Bytes{0x02, 0xe5, 0xa1, 0x00, 0x00, 0x05, 0, 0, 8, 0, 0, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(n, 37u);

    // Reply: ID | code 5 | 2 bytes | status. Missing bytes count as 0.
    const uint8_t done[] = {0x42, 5, 0, 0, 0}, failed[] = {0x42, 5, 0, 0, 1}, password[] = {0x42, 5, 0, 0, 2},
                  seven[] = {0x42, 5, 0, 0, 7}, code4[] = {0x42, 4, 0, 0, 0};
    EXPECT_EQ(drovik::AssignResult(done, 5), 0);
    EXPECT_EQ(drovik::AssignResult(done, 2), 0);
    EXPECT_EQ(drovik::AssignResult(failed, 5), 3);
    EXPECT_EQ(drovik::AssignResult(password, 5), 4);
    EXPECT_EQ(drovik::AssignResult(seven, 5), 0);
    EXPECT_EQ(drovik::AssignResult(code4, 5), 2);
    EXPECT_EQ(drovik::AssignResult(done, 1), 2);
}

// A late discovery reply (packet ID 1) must never match an assignment: no
// random number draws ID 1, and the other 255 IDs are drawn evenly.
TEST(DrovikAssignWire, PacketIdIsNeverTheDiscoverysAndEvenOverTheRest) {
    std::vector<int> drawn(256, 0);
    for (uint32_t r = 0; r < 255 * 256; ++r) ++drawn[drovik::AssignPacketId(r)];
    for (const uint32_t r : {1u, 257u, 0xffffff01u, 0xffffffffu, 0x80000001u}) ++drawn[drovik::AssignPacketId(r)];
    EXPECT_EQ(drawn[1], 0);
    for (int id = 0; id < 256; ++id) {
        if (id == 1) continue;
        EXPECT_GE(drawn[id], 256) << id;
    }
    EXPECT_LE(*std::max_element(drawn.begin(), drawn.end()), 256 + 5);
}

TEST(AddressRules, InetAddrFormsMessagesAndSubnetDefault) {
    // inet_addr's forms, also its stop at white space.
    for (const char* valid : {"10.1.2.3", "10.1", "0x0a.1.2.3", "012.1.2.3", "0.0.0.0", "4294967294", "10.1.2.3 x"})
        EXPECT_EQ(address_rules::CheckIpAddress(valid), nullptr) << valid;
    for (const char* invalid : {"", "255.255.255.255", "10.1.2.3.4", "256.1.2.3", "ten", "10.1.2.3x"})
        EXPECT_STREQ(address_rules::CheckIpAddress(invalid), "Invalid IP address. Use xxx.xxx.xxx.xxx") << invalid;
    EXPECT_STREQ(address_rules::CheckSubnet(""), "Invalid subnet mask. Use xxx.xxx.xxx.xxx");
    EXPECT_STREQ(address_rules::CheckGateway(""), "Invalid Gateway. Use xxx.xxx.xxx.xxx");

    struct {
        const char* ip;
        const char* subnet;
    } cases[] = {{"0.1.2.3", nullptr},
                 {"1.2.3.4", "255.0.0.0"},
                 {"126.0.0.1", "255.0.0.0"},
                 {"127.0.0.1", nullptr},
                 {"128.0.0.1", "255.255.0.0"},
                 {"191.1.1.1", "255.255.0.0"},
                 {"192.168.1.1", "255.255.255.0"},
                 {"224.0.0.1", "255.255.255.0"},
                 {"junk", nullptr}};
    for (const auto& c : cases) {
        const char* got = address_rules::SubnetDefault(c.ip);
        EXPECT_EQ(std::string(got ? got : "-"), std::string(c.subnet ? c.subnet : "-")) << c.ip;
    }
}

TEST(UrlValue, OnlyWhatCouldBreakOrExtendTheRequestIsEncoded) {
    EXPECT_EQ(EncodeUrlValue("10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(EncodeUrlValue("GMT+1"), "GMT+1");
    EXPECT_EQ(EncodeUrlValue("a b#c&d%e"), "a%20b%23c%26d%25e");
    EXPECT_EQ(EncodeUrlValue("$(,)+;\"<>{|}^=?/@:'"), "$(,)+;\"<>{|}^=?/@:'");
    EXPECT_EQ(EncodeUrlValue(std::string("\x01\t\x7f\x80\xe9\xff", 6)), "%01%09%7F%80%E9%FF");
    // Decoding gives back every byte string.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string encoded = EncodeUrlValue(all);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%') {
            decoded += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += encoded[i];
        }
    }
    EXPECT_EQ(decoded, all);
}

}  // namespace
