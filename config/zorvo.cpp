#include "zorvo.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "md5.h"
#include "deadline_wait.h"

namespace {

using Clock = platform::WaitClock;

constexpr int kReceiveBuffer = 56000;
constexpr int32_t kShortWaitUs = 400000;  // version and nonce
constexpr int32_t kOidWaitUs = 4000000;   // each attempt of a read or write
constexpr int kDrainBound = 256;          // more datagrams than the receive buffer holds

}  // namespace

CZorvo::CZorvo(const char* host, const char* user, const char* pass) {
    if (user) userName = user;
    if (pass) password = pass;
    errorCode = 0;
    sock.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!sock.valid()) {
        errorCode = zorvo::kErrSocket;
        return;
    }
    localAddr.sin_family = AF_INET;
    localAddr.sin_addr.s_addr = htonl(INADDR_ANY);
    localAddr.sin_port = 0;
    if (bind(sock.get(), reinterpret_cast<sockaddr*>(&localAddr), sizeof localAddr) != 0) {
        errorCode = zorvo::kErrBind;
        return;
    }
    if (!Resolve(host)) {
        errorCode = zorvo::kErrLookup;
        return;
    }
    // Connected, the kernel drops every datagram not sent from the camera's port.
    // A camera that cannot be addressed cannot be asked its version either.
    if (connect(sock.get(), reinterpret_cast<sockaddr*>(&peerAddr), sizeof peerAddr) != 0) {
        errorCode = zorvo::kErrVersion;
        return;
    }
    const int size = kReceiveBuffer;
    setsockopt(sock.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    seqNo = 0;
    if (!GetVers3(&protoVersion) || protoVersion < 3) {
        errorCode = zorvo::kErrVersion;
        return;
    }
    // Without a nonce there is no digest the camera could accept: a late nonce
    // would be taken for the answer to the first request.
    if (userName && password && !GetNonce()) {
        errorCode = zorvo::kErrAuth;
        return;
    }
    ready = true;
}

bool CZorvo::Resolve(const char* host) {
    peerAddr = {};
    peerAddr.sin_family = AF_INET;
    peerAddr.sin_port = htons(zorvo::kPort);
    if (!host) return false;
    if (std::isdigit(static_cast<unsigned char>(host[0])) && std::strchr(host, '.'))
        return inet_aton(host, &peerAddr.sin_addr) != 0;  // a dotted address is never looked up
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    peerAddr.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

bool CZorvo::Send(const uint8_t* data, std::size_t length) {
    if (!sock.valid()) return false;
    // Whatever waits now answers no request to come (a late or repeated
    // reply, an ICMP error held for the next call): gone before it could pass for one.
    for (int i = 0; i < kDrainBound; ++i) {
        uint8_t scrap;
        if (recv(sock.get(), &scrap, 1, MSG_DONTWAIT | MSG_TRUNC) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
    }
    return send(sock.get(), data, length, 0) == static_cast<ssize_t>(length);
}

int CZorvo::Await(uint8_t* reply, std::size_t size, int32_t timeoutUs, const std::function<bool(int)>& answers) {
    // One limit for the whole wait, however many datagrams are passed over.
    const auto deadline = Clock::now() + std::chrono::microseconds(timeoutUs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left <= 0) return -1;
        const int got = UdpRead(reply, size, true, static_cast<int32_t>(left));
        if (got < 0 || answers(got)) return got;
    }
}

int CZorvo::UdpRead(uint8_t* buffer, std::size_t size, bool single, int32_t timeoutUs) {
    if (!sock.valid()) return -1;
    int total = 0;
    const auto wait = std::chrono::microseconds(timeoutUs > 0 ? timeoutUs : 0);
    while (size > 0) {
        // The same limit applies to each wait. An error queued on the socket
        // (a refusal from the camera's host) ends it too, and recv takes it.
        if (platform::WaitReadable(sock.get(), Clock::now() + wait) != platform::Waited::Ready) return -1;
        // MSG_TRUNC: the datagram's own length, so one over the room is seen.
        const ssize_t n = recv(sock.get(), buffer, size, MSG_TRUNC | MSG_DONTWAIT);
        if (n <= 0) return total;
        if (static_cast<std::size_t>(n) > size) return -1;  // over the limit: no reply
        total += static_cast<int>(n);
        buffer += n;
        size -= static_cast<std::size_t>(n);
        if (single) break;
    }
    return total;
}

char* CZorvo::Strupr(char* text) {
    for (char* c = text; *c; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    return text;
}

char* CZorvo::MakeDigest(const char* text, std::size_t length, char out[33]) {
    Md5Context context;
    Md5Start(context);
    Md5Feed(context, text, length);
    Md5Finish(context, digest);
    return Asciify(out, digest);
}

bool CZorvo::CreateCreds(const uint8_t nonce[16]) {
    std::memcpy(lastNonce, nonce, 16);
    if (!userName || !password) return false;
    Strupr(password->data());
    char text[zorvo::kCredentialsBytes];
    if (!zorvo::CredentialsText(lastNonce, userName->c_str(), password->c_str(), text)) return false;
    MakeDigest(text, std::strlen(text), digestText);
    return true;
}

bool CZorvo::SendAuthReqCmn(const uint8_t* request, std::size_t length, uint8_t* reply, int& replyLength,
                            int32_t timeoutUs) {
    if (!Send(request, length)) {
        errorCode = zorvo::kErrSend;
        return false;
    }
    replyLength = Await(reply, static_cast<std::size_t>(replyLength), timeoutUs,
                        [&](int got) { return zorvo::AnswersOid(request, reply, got, lastNonce); });
    errorCode = zorvo::ReplyStatus(reply, replyLength);
    return errorCode == 0;
}

namespace {

// The exchange of both generations: the digest at `digestAt`, the nonce of a refusal at `nonceAt`.
template <typename Once, typename Creds>
bool AuthExchange(int& errorCode, uint8_t* request, std::size_t digestAt, std::size_t nonceAt, const uint8_t* digest,
                  uint8_t* reply, int& replyLength, Once once, Creds createCreds) {
    const int limit = replyLength;
    std::memcpy(request + digestAt, digest, 16);
    if (once()) return true;
    if (errorCode != zorvo::kErrAuth) return false;
    // A refusal carries a fresh nonce; without a whole one there is nothing to retry with.
    const uint8_t* nonce = zorvo::RefusalNonce(reply, replyLength, nonceAt);
    if (!nonce || !createCreds(nonce)) return false;
    std::memcpy(request + digestAt, digest, 16);
    replyLength = limit;
    if (once()) return true;
    errorCode = zorvo::kErrAuth;  // whatever ended the retry, the camera refused first
    return false;
}

}  // namespace

bool CZorvo::SendAuthReq3(uint8_t* request, std::size_t length, uint8_t* reply, int& replyLength, int32_t timeoutUs) {
    return AuthExchange(
        errorCode, request, zorvo::kDigestAt3, zorvo::kPayloadAt3, digest, reply, replyLength,
        [&] { return SendAuthReqCmn(request, length, reply, replyLength, timeoutUs); },
        [&](const uint8_t* nonce) { return CreateCreds(nonce); });
}

bool CZorvo::SendAuthReq(uint8_t* request, std::size_t length, uint8_t* reply, int& replyLength, int32_t timeoutUs) {
    if (!AuthExchange(
            errorCode, request, zorvo::kDigestAt4, zorvo::kPayloadAt4, digest, reply, replyLength,
            [&] { return SendAuthReqCmn(request, length, reply, replyLength, timeoutUs); },
            [&](const uint8_t* nonce) { return CreateCreds(nonce); }))
        return false;
    errorCode = zorvo::CheckEchoes4(reply, replyLength, request);
    return errorCode == 0;
}

int CZorvo::Read(bool fourth, const char* oid, char* value, std::size_t size) {
    if (!ready) return errorCode;
    if (!userName || !password) return errorCode = zorvo::kErrNoCredentials;
    if (!value || size == 0) return errorCode = zorvo::kErrTooLong;
    uint8_t request[zorvo::kRequestBytes];
    const std::size_t length = fourth ? zorvo::BuildOidRequest4(seqNo, zorvo::kOpRead, oid, nullptr, request)
                                      : zorvo::BuildOidRequest3(zorvo::kOpRead, oid, nullptr, request);
    if (length == 0) return errorCode = zorvo::kErrTooLong;
    uint8_t reply[zorvo::kReadReply];
    int got = sizeof reply;
    const bool ok = fourth ? SendAuthReq(request, length, reply, got, kOidWaitUs)
                           : SendAuthReq3(request, length, reply, got, kOidWaitUs);
    if (!ok) return errorCode;
    if (const int code = zorvo::ReadValue(fourth, reply, got, value, size)) return errorCode = code;
    if (fourth) ++seqNo;
    return 0;
}

int CZorvo::Write(bool fourth, const char* oid, const char* value) {
    if (!ready) return errorCode;
    if (!userName || !password) return errorCode = zorvo::kErrNoCredentials;
    uint8_t request[zorvo::kRequestBytes];
    const std::size_t length = fourth ? zorvo::BuildOidRequest4(seqNo, zorvo::kOpWrite4, oid, value, request)
                                      : zorvo::BuildOidRequest3(zorvo::kOpWrite3, oid, value, request);
    if (length == 0) return errorCode = zorvo::kErrTooLong;
    uint8_t reply[zorvo::kWriteReply4];
    int got = fourth ? zorvo::kWriteReply4 : zorvo::kWriteReply3;
    const bool ok = fourth ? SendAuthReq(request, length, reply, got, kOidWaitUs)
                           : SendAuthReq3(request, length, reply, got, kOidWaitUs);
    if (!ok) return errorCode;
    if (fourth) ++seqNo;
    return 0;
}

int CZorvo::GetOid(const char* oid, char* value, std::size_t size) { return Read(protoVersion != 3, oid, value, size); }
int CZorvo::GetOid3(const char* oid, char* value, std::size_t size) { return Read(false, oid, value, size); }
int CZorvo::SetOid(const char* oid, const char* value) { return Write(protoVersion != 3, oid, value); }
int CZorvo::SetOid3(const char* oid, const char* value) { return Write(false, oid, value); }

int CZorvo::GetOidInt(const char* oid, int32_t& number) {
    char text[100];
    const int code = GetOid(oid, text, sizeof text);
    if (code == 0) number = static_cast<int32_t>(std::strtol(text, nullptr, 10));
    return code;
}

bool CZorvo::GetNonce() {
    if (protoVersion == 3) return GetNonce3();
    const auto request = zorvo::NonceRequest4(seqNo);
    if (!Send(request.data(), request.size())) return false;
    uint8_t reply[zorvo::kNonceReply4];
    const uint8_t* nonce = nullptr;
    Await(reply, sizeof reply, kShortWaitUs,
          [&](int got) { return (nonce = zorvo::NonceOfReply4(reply, got, seqNo)) != nullptr; });
    if (!nonce) return false;
    ++seqNo;
    return CreateCreds(nonce);
}

bool CZorvo::GetNonce3() {
    const auto request = zorvo::NonceRequest3();
    if (!Send(request.data(), request.size())) return false;
    uint8_t reply[zorvo::kNonceReply3];
    const uint8_t* nonce = nullptr;
    Await(reply, sizeof reply, kShortWaitUs,
          [&](int got) { return (nonce = zorvo::NonceOfReply3(reply, got)) != nullptr; });
    return nonce && CreateCreds(nonce);
}

bool CZorvo::GetVers(int32_t* version) {
    const auto request = zorvo::VersionRequest4(seqNo);
    if (!Send(request.data(), request.size())) return false;
    uint8_t reply[zorvo::kVersionReply4];
    int32_t read = 0;
    const auto answers = [&](int got) { return zorvo::ReadVersionReply4(reply, got, seqNo, read); };
    if (Await(reply, sizeof reply, kShortWaitUs, answers) < 0) return false;
    ++seqNo;
    if (version) *version = read;
    return true;
}

bool CZorvo::GetVers3(int32_t* version) {
    const auto request = zorvo::VersionRequest3();
    if (!Send(request.data(), request.size())) return false;
    uint8_t reply[zorvo::kVersionReply3];
    int32_t read = 0;
    const auto answers = [&](int got) { return zorvo::ReadVersionReply3(reply, got, read); };
    if (Await(reply, sizeof reply, kShortWaitUs, answers) < 0) return false;
    if (version) *version = read;
    return true;
}
