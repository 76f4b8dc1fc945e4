#pragma once
// MD5 straight from OpenSSL, so the tests' expected digests do not come from
// the code under test.

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace camsim::testing {

inline std::array<std::uint8_t, 16> Md5(std::string_view text) {
    std::array<std::uint8_t, 16> digest{};
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

}  // namespace camsim::testing
