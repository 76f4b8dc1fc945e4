// MD5: RFC 1321's test suite, and agreement with OpenSSL on random input fed in random pieces.
#include "md5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Hex(const uint8_t digest[16]) {
    char text[33];
    for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}

std::string Md5(const std::string& text) {
    Md5Context context;
    Md5Start(context);
    Md5Feed(context, text.data(), text.size());
    uint8_t digest[16];
    Md5Finish(context, digest);
    return Hex(digest);
}

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(Md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, AgreesWithOpenSslInAnyPiecesAndWipesItsContext) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 500; ++round) {
        std::vector<uint8_t> data(random() % 300);
        for (uint8_t& b : data) b = static_cast<uint8_t>(random());
        Md5Context context;
        Md5Start(context);
        for (std::size_t at = 0; at < data.size();) {
            const std::size_t piece = std::min<std::size_t>(random() % 80, data.size() - at);
            Md5Feed(context, data.data() + at, piece);
            at += piece;
        }
        uint8_t ours[16];
        Md5Finish(context, ours);
        uint8_t theirs[16];
        unsigned size = 0;
        ASSERT_EQ(EVP_Digest(data.data(), data.size(), theirs, &size, EVP_md5(), nullptr), 1);
        ASSERT_EQ(Hex(ours), Hex(theirs)) << data.size() << " bytes, round " << round;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&context);
        ASSERT_EQ(std::count(bytes, bytes + sizeof context, 0), static_cast<long>(sizeof context));
    }
}

}  // namespace
