#pragma once
// The proof of the administrator password that both the OID requests and
// the broadcast assignment carry: MD5 over "<nonce hex>:root:<PASSWORD>".

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string_view>

namespace camsim {

using Nonce = std::array<std::uint8_t, 16>;
using Digest = std::array<std::uint8_t, 16>;

// MD5 of the nonce as 32 lower-case hex digits, ':', "root", ':', the
// password in upper case (ASCII), without a NUL. Nothing when MD5 is
// unavailable (the camera then accepts no digest).
std::optional<Digest> CredentialsDigest(const Nonce& nonce, std::string_view password);

// Fresh random nonces for discovery replies and OID refusals, each straight
// from the system's random source.
class NonceSource {
public:
    Nonce Next();

private:
    std::random_device device_;
};

}  // namespace camsim
