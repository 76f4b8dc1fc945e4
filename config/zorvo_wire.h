#pragma once
// The cameras' authenticated UDP OID protocol, generations 3 and 4: request
// bytes, reply fields and error texts as pure functions over byte buffers.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zorvo {

inline constexpr uint16_t kPort = 35777;
inline constexpr std::size_t kRequestBytes = 100;  // no request is longer
inline constexpr std::size_t kCredentialsBytes = 100;

// Commands (request byte 0).
inline constexpr uint8_t kCmdVersion3 = 7;
inline constexpr uint8_t kCmdNonce3 = 16;
inline constexpr uint8_t kCmdOid3 = 15;
inline constexpr uint8_t kCmdVersion4 = 37;  // '%'
inline constexpr uint8_t kCmdOid4 = 45;      // '-'
inline constexpr uint8_t kCmdNonce4 = 46;    // '.'

// OID operations.
inline constexpr uint32_t kOpRead = 2;
inline constexpr uint32_t kOpWrite3 = 3;
inline constexpr uint32_t kOpWrite4 = 7;

// Generation 3 OID request (AuthReqHdr, 21 bytes, then the arguments):
//   0 command 15 | 1-16 digest | 17-20 operation | 21 OID, NUL | write: value, NUL
inline constexpr std::size_t kDigestAt3 = 1;
inline constexpr std::size_t kHeader3 = 21;
// Generation 4 OID request (AuthReqHdr4, 22 bytes, then the arguments):
//   0 command 45 | 1 seqNo | 2-17 digest | 18-21 operation | 22 OID, NUL | write: value, NUL
inline constexpr std::size_t kDigestAt4 = 2;
inline constexpr std::size_t kHeader4 = 22;

// Replies: 0-3 status | gen 4: 4 command echo, 5 sequence echo | then a value
// text (read) or, with status 1, a fresh 16-byte nonce.
inline constexpr std::size_t kPayloadAt3 = 4;
inline constexpr std::size_t kPayloadAt4 = 6;
inline constexpr uint32_t kStatusDone = 0;
inline constexpr uint32_t kStatusRefused = 1;  // the camera refused the digest

// Reply limits, in bytes.
inline constexpr std::size_t kVersionReply3 = 8, kVersionReply4 = 10;
inline constexpr std::size_t kNonceReply3 = 20, kNonceReply4 = 22;
inline constexpr std::size_t kReadReply = 50;
inline constexpr std::size_t kWriteReply3 = 20, kWriteReply4 = 22;

// Error codes. 0 to 17 have texts; 18 to 20 are the generation-4 checks.
// Where the protocol leaves the code open, this client uses:
//   6  a request that could not be sent
//   10 a host text that is neither a dotted address nor a name that resolves
//   12 also a refusal that carries no whole nonce (nothing to retry with),
//      and a construction whose nonce request got no answer
//   21 a request that would not fit its 100 bytes (nothing is sent)
//   22 no reply within the time-out, or a reply over its limit
//   23 a reply too short for the fields read from it
//   24 a reply status other than 0 and 1
//   25 an authenticated request on an object made without user name and password
inline constexpr int kErrSend = 6;
inline constexpr int kErrSocket = 8;
inline constexpr int kErrBind = 9;
inline constexpr int kErrLookup = 10;
inline constexpr int kErrAuth = 12;
inline constexpr int kErrVersion = 14;
inline constexpr int kErrShortRead = 18;
inline constexpr int kErrCommandEcho = 19;
inline constexpr int kErrSequenceEcho = 20;
inline constexpr int kErrTooLong = 21;
inline constexpr int kErrNoReply = 22;
inline constexpr int kErrShortReply = 23;
inline constexpr int kErrStatus = 24;
inline constexpr int kErrNoCredentials = 25;

// Text of an error code; "unknown error" for codes without an entry.
const char* ErrorText(int code);

// The 16 bytes as 32 lower-case hexadecimal digits and a NUL.
char* Asciify(char out[33], const uint8_t bytes[16]);

// "nonce-hex:user:PASSWORD" into `out`; false when it would not fit.
// `password` is taken as given (the caller upper-cases it).
bool CredentialsText(const uint8_t nonce[16], const char* user, const char* password, char (&out)[kCredentialsBytes]);

// OID requests with a zero digest; the length, or 0 when the request would
// not fit its 100 bytes. `value` is null for a read.
std::size_t BuildOidRequest3(uint32_t operation, const char* oid, const char* value, uint8_t (&out)[kRequestBytes]);
std::size_t BuildOidRequest4(uint8_t seqNo, uint32_t operation, const char* oid, const char* value,
                             uint8_t (&out)[kRequestBytes]);

// Version and nonce requests (no digest). Generation 3: the command byte
// alone; generation 4: the command byte and seqNo.
//   version 3: 7 | nonce 3: 16 | version 4: 37, seqNo | nonce 4: 46, seqNo
// Replies: 0-3 not examined | gen 4: 4 command echo, 5 seqNo echo | the
// version (4 bytes, big-endian) or the nonce (16 bytes).
using ShortRequest3 = std::array<uint8_t, 1>;
using ShortRequest4 = std::array<uint8_t, 2>;
inline ShortRequest3 VersionRequest3() { return {kCmdVersion3}; }
inline ShortRequest3 NonceRequest3() { return {kCmdNonce3}; }
inline ShortRequest4 VersionRequest4(uint8_t seqNo) { return {kCmdVersion4, seqNo}; }
inline ShortRequest4 NonceRequest4(uint8_t seqNo) { return {kCmdNonce4, seqNo}; }

uint32_t ReadBig32(const uint8_t* p);

// Reply readers. `got` is what the read gave: the datagram's length, or -1
// when none came (or it was over its limit); only the first `got` bytes are read.

// A version reply's version: false when the reply is shorter than its limit
// or, in generation 4, does not echo the request's command and seqNo.
bool ReadVersionReply3(const uint8_t* reply, int got, int32_t& version);
bool ReadVersionReply4(const uint8_t* reply, int got, uint8_t seqNo, int32_t& version);
// The 16 bytes of a nonce reply, or null under the same rules.
const uint8_t* NonceOfReply3(const uint8_t* reply, int got);
const uint8_t* NonceOfReply4(const uint8_t* reply, int got, uint8_t seqNo);
// An OID reply's status as an error code: 0, kErrNoReply, kErrShortReply,
// kErrAuth (refused) or kErrStatus.
int ReplyStatus(const uint8_t* reply, int got);
// The fresh nonce a refusal carries at `nonceAt`, or null when it holds no whole one.
const uint8_t* RefusalNonce(const uint8_t* reply, int got, std::size_t nonceAt);
// Whether a datagram can be the camera's answer to the OID `request` (as
// built above), while the digest is made from `heldNonce`. It cannot when it
// is too short for a status, repeats the nonce already held (a late or
// duplicated nonce reply or refusal), is a refusal without a whole nonce, or
// is a read's value without its NUL. Such a datagram is not taken: the wait
// for the answer goes on.
bool AnswersOid(const uint8_t* request, const uint8_t* reply, int got, const uint8_t heldNonce[16]);
// A generation-4 OID reply the camera accepted, against its request: 0,
// kErrShortReply, kErrSequenceEcho or kErrCommandEcho.
int CheckEchoes4(const uint8_t* reply, int got, const uint8_t* request);
// The value of an accepted read reply into `value` (`size` bytes, at least 1):
// up to its NUL or the datagram's end, cut to fit with a NUL. 0, or
// kErrShortRead (and `value` untouched) for a generation-4 reply without a value byte.
int ReadValue(bool fourth, const uint8_t* reply, int got, char* value, std::size_t size);

}  // namespace zorvo
