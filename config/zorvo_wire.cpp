#include "zorvo_wire.h"

#include <cstdio>
#include <iterator>
#include <cstring>

namespace zorvo {
namespace {

constexpr const char* kTexts[18] = {
    "Success",
    "Incorrect image header length",
    "Invalid data in image header",
    "Incorrect length in plane header",
    "Invalid data in plane header",
    "Bad image data length",
    "Send failure",
    "Network startup failure",
    "socket() call failed",
    "bind() call failed",
    "host lookup failure",
    "couldn't read image scales",
    "authentication failure",
    "couldn't read image options",
    "couldn't read version, or wrong version",
    "couldn't read image configuration",
    "unmask request failure",
    "mask request failure",
};

void PutBig32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

// OID, NUL, then for a write the value and NUL, from `at`; the end, or 0 when it would not fit.
std::size_t PutArguments(uint8_t* out, std::size_t at, const char* oid, const char* value) {
    const std::size_t oidBytes = std::strlen(oid) + 1;
    const std::size_t valueBytes = value ? std::strlen(value) + 1 : 0;
    if (oidBytes + valueBytes > kRequestBytes - at) return 0;
    std::memcpy(out + at, oid, oidBytes);
    if (value) std::memcpy(out + at + oidBytes, value, valueBytes);
    return at + oidBytes + valueBytes;
}

}  // namespace

const char* ErrorText(int code) {
    return code >= 0 && code < static_cast<int>(std::size(kTexts)) ? kTexts[code] : "unknown error";
}

char* Asciify(char out[33], const uint8_t b[16]) {
    std::snprintf(out, 17, "%02x%02x%02x%02x%02x%02x%02x%02x", b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
    std::snprintf(out + 16, 17, "%02x%02x%02x%02x%02x%02x%02x%02x", b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                  b[15]);
    return out;
}

bool CredentialsText(const uint8_t nonce[16], const char* user, const char* password, char (&out)[kCredentialsBytes]) {
    char hex[33];
    const int n = std::snprintf(out, sizeof out, "%s:%s:%s", Asciify(hex, nonce), user, password);
    return n >= 0 && static_cast<std::size_t>(n) < sizeof out;
}

std::size_t BuildOidRequest3(uint32_t operation, const char* oid, const char* value, uint8_t (&out)[kRequestBytes]) {
    std::memset(out, 0, sizeof out);
    out[0] = kCmdOid3;
    PutBig32(out + 17, operation);
    return PutArguments(out, kHeader3, oid, value);
}

std::size_t BuildOidRequest4(uint8_t seqNo, uint32_t operation, const char* oid, const char* value,
                             uint8_t (&out)[kRequestBytes]) {
    std::memset(out, 0, sizeof out);
    out[0] = kCmdOid4;
    out[1] = seqNo;
    PutBig32(out + 18, operation);
    return PutArguments(out, kHeader4, oid, value);
}

uint32_t ReadBig32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

bool ReadVersionReply3(const uint8_t* reply, int got, int32_t& version) {
    if (got < static_cast<int>(kVersionReply3)) return false;
    version = static_cast<int32_t>(ReadBig32(reply + kPayloadAt3));
    return true;
}

bool ReadVersionReply4(const uint8_t* reply, int got, uint8_t seqNo, int32_t& version) {
    if (got < static_cast<int>(kVersionReply4)) return false;
    if (reply[4] != kCmdVersion4 || reply[5] != seqNo) return false;
    version = static_cast<int32_t>(ReadBig32(reply + kPayloadAt4));
    return true;
}

const uint8_t* NonceOfReply3(const uint8_t* reply, int got) {
    return got < static_cast<int>(kNonceReply3) ? nullptr : reply + kPayloadAt3;
}

const uint8_t* NonceOfReply4(const uint8_t* reply, int got, uint8_t seqNo) {
    if (got < static_cast<int>(kNonceReply4)) return nullptr;  // the 16 nonce bytes end the reply
    if (reply[4] != kCmdNonce4 || reply[5] != seqNo) return nullptr;
    return reply + kPayloadAt4;
}

int ReplyStatus(const uint8_t* reply, int got) {
    if (got < 0) return kErrNoReply;
    if (got < 4) return kErrShortReply;
    switch (ReadBig32(reply)) {
    case kStatusDone: return 0;
    case kStatusRefused: return kErrAuth;
    default: return kErrStatus;
    }
}

const uint8_t* RefusalNonce(const uint8_t* reply, int got, std::size_t nonceAt) {
    return got < static_cast<int>(nonceAt + 16) ? nullptr : reply + nonceAt;
}

bool AnswersOid(const uint8_t* request, const uint8_t* reply, int got, const uint8_t heldNonce[16]) {
    if (got < 4) return false;
    const bool fourth = request[0] == kCmdOid4;
    const std::size_t at = fourth ? kPayloadAt4 : kPayloadAt3;
    const std::size_t end = static_cast<std::size_t>(got);
    // Nonce replies and refusals carry the nonce at the same place: one the
    // digest is already made from is a repeat, never news about this request.
    if (end >= at + 16 && std::memcmp(reply + at, heldNonce, 16) == 0) return false;
    const uint32_t status = ReadBig32(reply);
    if (status == kStatusRefused) return end >= at + 16;
    const bool read = ReadBig32(request + (fourth ? kHeader4 : kHeader3) - 4) == kOpRead;
    // A generation-4 read reply that stops after its echoes is this request's
    // (short) answer; any longer value must end within the datagram.
    if (status == kStatusDone && read && end > at) return std::memchr(reply + at, 0, end - at) != nullptr;
    if (status == kStatusDone && read && !fourth) return false;  // no value at all
    return true;
}

int CheckEchoes4(const uint8_t* reply, int got, const uint8_t* request) {
    // The echoes tie a generation-4 reply to its request.
    if (got < 6) return kErrShortReply;
    if (reply[5] != request[1]) return kErrSequenceEcho;
    if (reply[4] != request[0]) return kErrCommandEcho;
    return 0;
}

int ReadValue(bool fourth, const uint8_t* reply, int got, char* value, std::size_t size) {
    const std::size_t at = fourth ? kPayloadAt4 : kPayloadAt3;
    if (fourth && got < 7) return kErrShortRead;
    // The value ends at its NUL or with the datagram, and is cut to the caller's room.
    const std::size_t end = got > 0 ? static_cast<std::size_t>(got) : 0;
    std::size_t n = 0;
    while (at + n < end && reply[at + n] != 0 && n + 1 < size) ++n;
    std::memcpy(value, reply + at, n);
    value[n] = '\0';
    return 0;
}

}  // namespace zorvo
