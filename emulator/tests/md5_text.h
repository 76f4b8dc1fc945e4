#pragma once
// MD5 straight from OpenSSL, so the tests' expected digests do not come from
// the code under test.

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace camsim::testing {

inline std::array<std::uint8_t, 16> md5(std::string_view text) {
    std::array<std::uint8_t, 16> digest{};
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

inline std::string lowerHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

}  // namespace camsim::testing
