#include "camera_credentials.h"

#include "camera.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <string>

namespace camsim {

std::optional<Digest> CredentialsDigest(const Nonce& nonce, std::string_view password) {
    std::string text = HexText(nonce) + ":root:";
    for (char c : password) text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;

    Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

Nonce NonceSource::Next() {
    Nonce nonce{};
    for (std::size_t i = 0; i < nonce.size(); i += sizeof(std::random_device::result_type)) {
        const std::random_device::result_type word = device_();
        std::memcpy(nonce.data() + i, &word, sizeof(word));
    }
    return nonce;
}

}  // namespace camsim
