// Fuzz target of the OID protocol's reply readers, both generations. One input:
//   flags (bit 0: generation 4) | seqNo | value room - 1 | length of the first reply
//   | the first reply | the second reply (the rest)
// The first reply answers a version, a nonce, a read and a write request; a
// refused read is retried, and the second reply answers the retry. Each reply
// lies in a buffer of exactly its own length, as read against the request's
// limit (a larger datagram is no reply), so a read past it is an overflow.
#include <memory>

#include "config/zorvo_wire.h"
#include "fuzz_target.h"

namespace {

struct Datagram {
    Datagram(const uint8_t* data, std::size_t length, std::size_t limit)
        : got(length <= limit ? static_cast<int>(length) : -1), bytes(new uint8_t[got > 0 ? got : 0]) {
        if (got > 0) std::memcpy(bytes.get(), data, static_cast<std::size_t>(got));
    }
    int got;
    std::unique_ptr<uint8_t[]> bytes;
};

uint32_t Status(const Datagram& d) { return zorvo::ReadBig32(d.bytes.get()); }

// One OID exchange as CZorvo runs it: the status, and after a refusal with a
// whole nonce the retry's; then a generation-4 reply's echoes. 0 or an error code.
int Exchange(bool fourth, const uint8_t* request, const Datagram& first, const Datagram& retry, const Datagram*& reply) {
    const std::size_t payloadAt = fourth ? zorvo::kPayloadAt4 : zorvo::kPayloadAt3;
    reply = &first;
    int code = zorvo::ReplyStatus(first.bytes.get(), first.got);
    if (code == zorvo::kErrAuth) {
        const uint8_t* nonce = zorvo::RefusalNonce(first.bytes.get(), first.got, payloadAt);
        FUZZ_CHECK((nonce != nullptr) == (first.got >= static_cast<int>(payloadAt + 16)));
        if (!nonce) return code;
        FUZZ_CHECK(nonce == first.bytes.get() + payloadAt);
        reply = &retry;
        code = zorvo::ReplyStatus(retry.bytes.get(), retry.got);
        if (code != 0) return zorvo::kErrAuth;
    }
    const Datagram& d = *reply;
    switch (code) {
    case 0: FUZZ_CHECK(d.got >= 4 && Status(d) == zorvo::kStatusDone); break;
    case zorvo::kErrNoReply: FUZZ_CHECK(d.got < 0); return code;
    case zorvo::kErrShortReply: FUZZ_CHECK(d.got >= 0 && d.got < 4); return code;
    case zorvo::kErrAuth: FUZZ_CHECK(d.got >= 4 && Status(d) == zorvo::kStatusRefused); return code;
    case zorvo::kErrStatus: FUZZ_CHECK(d.got >= 4 && Status(d) > zorvo::kStatusRefused); return code;
    default: FUZZ_CHECK(!"a status code outside the five"); return code;
    }
    if (!fourth) return 0;
    code = zorvo::CheckEchoes4(d.bytes.get(), d.got, request);
    if (code == 0) FUZZ_CHECK(d.got >= 6 && d.bytes[4] == request[0] && d.bytes[5] == request[1]);
    else FUZZ_CHECK(code == zorvo::kErrShortReply || code == zorvo::kErrSequenceEcho || code == zorvo::kErrCommandEcho);
    return code;
}

}  // namespace

int ZorvoReplyTarget(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const bool fourth = data[0] & 1;
    const uint8_t seqNo = data[1];
    const std::size_t room = std::size_t{data[2]} + 1;
    const std::size_t firstLength = data[3] < size - 4 ? data[3] : size - 4;
    const uint8_t* first = data + 4;
    const uint8_t* second = first + firstLength;
    const std::size_t secondLength = size - 4 - firstLength;
    const std::size_t payloadAt = fourth ? zorvo::kPayloadAt4 : zorvo::kPayloadAt3;
    int accepted = 0;

    // Version and nonce replies.
    const Datagram version(first, firstLength, fourth ? zorvo::kVersionReply4 : zorvo::kVersionReply3);
    int32_t number = 0;
    if (fourth ? zorvo::ReadVersionReply4(version.bytes.get(), version.got, seqNo, number)
               : zorvo::ReadVersionReply3(version.bytes.get(), version.got, number)) {
        FUZZ_CHECK(version.got == static_cast<int>(payloadAt + 4));
        if (fourth) FUZZ_CHECK(version.bytes[4] == zorvo::kCmdVersion4 && version.bytes[5] == seqNo);
        FUZZ_CHECK(static_cast<uint32_t>(number) == zorvo::ReadBig32(version.bytes.get() + payloadAt));
        ++accepted;
    }
    const Datagram nonceReply(first, firstLength, fourth ? zorvo::kNonceReply4 : zorvo::kNonceReply3);
    const uint8_t* nonce = fourth ? zorvo::NonceOfReply4(nonceReply.bytes.get(), nonceReply.got, seqNo)
                                  : zorvo::NonceOfReply3(nonceReply.bytes.get(), nonceReply.got);
    if (nonce) {
        FUZZ_CHECK(nonce == nonceReply.bytes.get() + payloadAt && nonceReply.got == static_cast<int>(payloadAt + 16));
        if (fourth) FUZZ_CHECK(nonceReply.bytes[4] == zorvo::kCmdNonce4 && nonceReply.bytes[5] == seqNo);
        ++accepted;
    }

    // A read of "2.17" into `room` bytes.
    uint8_t request[zorvo::kRequestBytes];
    if (fourth) zorvo::BuildOidRequest4(seqNo, zorvo::kOpRead, "2.17", nullptr, request);
    else zorvo::BuildOidRequest3(zorvo::kOpRead, "2.17", nullptr, request);
    const Datagram readReply(first, firstLength, zorvo::kReadReply), readRetry(second, secondLength, zorvo::kReadReply);
    const Datagram* reply = nullptr;
    if (Exchange(fourth, request, readReply, readRetry, reply) == 0) {
        std::unique_ptr<char[]> value(new char[room]);
        std::memset(value.get(), 0x5A, room);
        const int code = zorvo::ReadValue(fourth, reply->bytes.get(), reply->got, value.get(), room);
        if (code == 0) {
            // The value: the reply's text after the header, up to its NUL, the datagram's end or the room.
            const std::size_t n = strnlen(value.get(), room);
            FUZZ_CHECK(n < room);
            const std::size_t end = static_cast<std::size_t>(reply->got);
            FUZZ_CHECK(payloadAt + n <= end || n == 0);
            if (n > 0 && payloadAt + n <= end)
                FUZZ_CHECK(std::memcmp(value.get(), reply->bytes.get() + payloadAt, n) == 0);
            FUZZ_CHECK(n + 1 == room || payloadAt + n >= end || reply->bytes[payloadAt + n] == 0);
            ++accepted;
        } else {
            FUZZ_CHECK(code == zorvo::kErrShortRead && fourth && reply->got < 7 &&
                       static_cast<uint8_t>(value[0]) == 0x5A);
        }
    }

    // A write of "2.17" = "CET": its reply has a smaller limit.
    if (fourth) zorvo::BuildOidRequest4(seqNo, zorvo::kOpWrite4, "2.17", "CET", request);
    else zorvo::BuildOidRequest3(zorvo::kOpWrite3, "2.17", "CET", request);
    const std::size_t writeLimit = fourth ? zorvo::kWriteReply4 : zorvo::kWriteReply3;
    const Datagram writeReply(first, firstLength, writeLimit), writeRetry(second, secondLength, writeLimit);
    if (Exchange(fourth, request, writeReply, writeRetry, reply) == 0) ++accepted;
    return accepted;
}
