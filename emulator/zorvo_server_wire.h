#pragma once
// Camera side of the authenticated OID protocol, as pure functions of the
// request bytes. The socket lives in zorvo_server.h.
//
// Cameras answer on UDP 35777. Numbers are 32-bit big-endian; every reply
// starts with a 4-byte status (0 done, 1 digest refused, other: failed).
// Generation 3 has one-byte commands; generation 4 adds a sequence byte
// after the command, and its replies echo command and sequence in bytes 4-5.
//
//   version  3: 07            -> status, version
//            4: 25 seq        -> status, 25, seq, version
//   nonce    3: 10            -> status, nonce[16]
//            4: 2e seq        -> status, 2e, seq, nonce[16]
//   OID      3: 0f digest[16] op oid\0 [value\0]        op 2 read, 3 write
//            4: 2d seq digest[16] op oid\0 [value\0]    op 2 read, 7 write
//            -> status [echoes], then: read: value\0; refused: fresh nonce[16]
//
// The digest is that of camera_credentials.h over the current nonce. Every
// nonce request and every refusal draws a fresh nonce, which becomes current.

#include "camera.h"
#include "camera_credentials.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camsim::zorvo {

inline constexpr std::uint16_t kPort = 35777;

// The size of every OID reply of a camera with the "oversize" fault.
inline constexpr std::size_t kOversizeReply = 60;

// One camera's OID service: its current nonce, its OID table and its fault.
class OidService {
public:
    using NonceFn = std::function<Nonce()>;
    // Told of every write the camera takes.
    using WriteFn = std::function<void(const std::string& oid, const std::string& value)>;

    // Serves the OID table of `cam`, which the camera's web server shares,
    // and writes into it. Draws the first nonce from freshNonce.
    OidService(Camera& cam, NonceFn freshNonce);

    // The reply to one request, or nothing: malformed requests and those a
    // fault keeps the camera silent on go unanswered.
    std::optional<std::vector<std::uint8_t>> Answer(std::span<const std::uint8_t> request);

    const Nonce& CurrentNonce() const { return nonce_; }
    void OnWrite(WriteFn fn) { onWrite_ = std::move(fn); }

private:
    std::optional<std::vector<std::uint8_t>> AnswerOid(std::span<const std::uint8_t> request, bool gen4);

    Camera& cam_;
    NonceFn freshNonce_;
    WriteFn onWrite_;
    Nonce nonce_;
    bool refusedOnce_ = false;
};

}  // namespace camsim::zorvo
