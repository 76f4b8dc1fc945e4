#include "camera_credentials.h"

#include <openssl/evp.h>

#include <array>
#include <string>

namespace camsim {

std::optional<Digest> credentialsDigest(const Nonce& nonce, std::string_view password) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : nonce) {
        text += kHex[b >> 4];
        text += kHex[b & 0x0F];
    }
    text += ":root:";
    for (char c : password) text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;

    Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

NonceSource::NonceSource() {
    // Seed the whole engine state, not just one word of it.
    std::random_device device;
    std::array<std::random_device::result_type, 8> seed{};
    for (auto& word : seed) word = device();
    std::seed_seq sequence(seed.begin(), seed.end());
    engine_.seed(sequence);
}

Nonce NonceSource::next() {
    Nonce nonce{};
    for (std::size_t i = 0; i < nonce.size(); i += 8) {
        std::uint64_t word = engine_();
        for (std::size_t j = 0; j < 8; ++j) nonce[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
    return nonce;
}

}  // namespace camsim
