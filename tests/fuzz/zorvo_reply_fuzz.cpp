// Fuzz target of the OID protocol's reply readers, both generations. One input:
//   flags (bit 0: generation 4) | seqNo | value room - 1 | length of the first reply
//   | the first reply | the second reply (the rest)
// The first reply answers a version and a nonce request. A read and a write
// then wait for their answers among both replies in turn, while the digest is
// made from the nonce of the first (or from sixteen zeros when it is none):
// a reply not taken leaves the wait going, a refused request is retried with
// the refusal's nonce and waits on among the replies after it. Each reply lies
// in a buffer of exactly its own length, as read against the request's limit
// (a larger datagram is no reply and ends the wait), so a read past it is an overflow.
#include <memory>

#include "zorvo_wire.h"
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

// The reply one attempt takes: the next of `replies` from `next` on that can
// answer `request`, or null when the wait runs out. Checks the judgement.
const Datagram* Take(const uint8_t* request, const Datagram* const (&replies)[2], std::size_t& next,
                     const uint8_t* held) {
    const bool fourth = request[0] == zorvo::kCmdOid4;
    const bool read = zorvo::ReadBig32(request + (fourth ? 18 : 17)) == zorvo::kOpRead;
    const std::size_t at = fourth ? zorvo::kPayloadAt4 : zorvo::kPayloadAt3;
    while (next < 2) {
        const Datagram& d = *replies[next++];
        if (d.got < 0) return &d;  // over the limit: no reply
        const bool taken = zorvo::AnswersOid(request, d.bytes.get(), d.got, held);
        if (d.got < 4) {
            FUZZ_CHECK(!taken);
            continue;
        }
        const std::size_t end = static_cast<std::size_t>(d.got);
        const bool repeat = end >= at + 16 && std::memcmp(d.bytes.get() + at, held, 16) == 0;
        const bool wholeNonce = end >= at + 16;
        const bool valueEnds = end > at ? std::memchr(d.bytes.get() + at, 0, end - at) != nullptr : fourth;
        const bool answer = !repeat && (Status(d) == zorvo::kStatusRefused        ? wholeNonce
                                        : Status(d) == zorvo::kStatusDone && read ? valueEnds
                                                                                  : true);
        FUZZ_CHECK(taken == answer);
        if (taken) return &d;
    }
    return nullptr;
}

// One OID exchange as CZorvo runs it: the status, and after a refusal the
// retry's; then a generation-4 reply's echoes. 0 or an error code.
int Exchange(const uint8_t* request, const Datagram* const (&replies)[2], const uint8_t* nonce,
             const Datagram*& reply) {
    const bool fourth = request[0] == zorvo::kCmdOid4;
    const std::size_t payloadAt = fourth ? zorvo::kPayloadAt4 : zorvo::kPayloadAt3;
    uint8_t held[16];
    std::memcpy(held, nonce, 16);
    std::size_t next = 0;
    reply = Take(request, replies, next, held);
    int code = reply ? zorvo::ReplyStatus(reply->bytes.get(), reply->got) : zorvo::kErrNoReply;
    if (code == zorvo::kErrAuth) {
        // A refusal is taken only with a whole nonce, which the retry's digest is made from.
        const uint8_t* fresh = zorvo::RefusalNonce(reply->bytes.get(), reply->got, payloadAt);
        FUZZ_CHECK(fresh == reply->bytes.get() + payloadAt);
        FUZZ_CHECK(std::memcmp(fresh, held, 16) != 0);
        std::memcpy(held, fresh, 16);
        reply = Take(request, replies, next, held);
        code = reply ? zorvo::ReplyStatus(reply->bytes.get(), reply->got) : zorvo::kErrNoReply;
        if (code != 0) return zorvo::kErrAuth;
    }
    if (!reply) return code;
    const Datagram& d = *reply;
    switch (code) {
    case 0: FUZZ_CHECK(d.got >= 4 && Status(d) == zorvo::kStatusDone); break;
    case zorvo::kErrNoReply: FUZZ_CHECK(d.got < 0); return code;
    case zorvo::kErrStatus: FUZZ_CHECK(d.got >= 4 && Status(d) > zorvo::kStatusRefused); return code;
    default: FUZZ_CHECK(!"a status code outside the four"); return code;
    }
    if (!fourth) return 0;
    code = zorvo::CheckEchoes4(d.bytes.get(), d.got, request);
    if (code == 0)
        FUZZ_CHECK(d.got >= 6 && d.bytes[4] == request[0] && d.bytes[5] == request[1]);
    else
        FUZZ_CHECK(code == zorvo::kErrShortReply || code == zorvo::kErrSequenceEcho || code == zorvo::kErrCommandEcho);
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

    // The digest's nonce: the first reply's, when it is a nonce reply (which
    // then comes again), else none yet.
    const uint8_t zeros[16] = {};
    const uint8_t* held = nonce ? nonce : zeros;

    // A read of "2.17" into `room` bytes.
    uint8_t request[zorvo::kRequestBytes];
    if (fourth)
        zorvo::BuildOidRequest4(seqNo, zorvo::kOpRead, "2.17", nullptr, request);
    else
        zorvo::BuildOidRequest3(zorvo::kOpRead, "2.17", nullptr, request);
    const Datagram readReply(first, firstLength, zorvo::kReadReply), readRetry(second, secondLength, zorvo::kReadReply);
    const Datagram* reply = nullptr;
    if (Exchange(request, {&readReply, &readRetry}, held, reply) == 0) {
        std::unique_ptr<char[]> value(new char[room]);
        std::memset(value.get(), 0x5A, room);
        const int code = zorvo::ReadValue(fourth, reply->bytes.get(), reply->got, value.get(), room);
        if (code == 0) {
            // The value: the reply's text after the header, up to its NUL (within
            // the datagram: a value without one is never taken) or the room.
            const std::size_t n = strnlen(value.get(), room);
            FUZZ_CHECK(n < room);
            const std::size_t end = static_cast<std::size_t>(reply->got);
            FUZZ_CHECK(payloadAt + n < end);
            FUZZ_CHECK(std::memcmp(value.get(), reply->bytes.get() + payloadAt, n) == 0);
            FUZZ_CHECK(n + 1 == room || reply->bytes[payloadAt + n] == 0);
            ++accepted;
        } else {
            FUZZ_CHECK(code == zorvo::kErrShortRead && fourth && reply->got < 7 &&
                       static_cast<uint8_t>(value[0]) == 0x5A);
        }
    }

    // A write of "2.17" = "CET": its reply has a smaller limit.
    if (fourth)
        zorvo::BuildOidRequest4(seqNo, zorvo::kOpWrite4, "2.17", "CET", request);
    else
        zorvo::BuildOidRequest3(zorvo::kOpWrite3, "2.17", "CET", request);
    const std::size_t writeLimit = fourth ? zorvo::kWriteReply4 : zorvo::kWriteReply3;
    const Datagram writeReply(first, firstLength, writeLimit), writeRetry(second, secondLength, writeLimit);
    if (Exchange(request, {&writeReply, &writeRetry}, held, reply) == 0) ++accepted;
    return accepted;
}
