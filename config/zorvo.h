#pragma once
// Client of the cameras' authenticated UDP OID protocol: one object talks to
// one camera for one operation. Construction asks the camera's version and a
// nonce; reads and writes carry an MD5 digest over nonce, user and password,
// and a refused digest is retried once with the nonce of the refusal. The
// socket is connected to the camera's port 35777, so only the camera's
// datagrams arrive, and a reply is taken only in a form that can answer the
// request waiting for it.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "zorvo_wire.h"
#include "owned_fd.h"

class CZorvo {
public:
    // `user` and `password` may be null. errorCode tells whether the object is ready.
    CZorvo(const char* host, const char* user, const char* password);
    ~CZorvo() = default;
    CZorvo(const CZorvo&) = delete;
    CZorvo& operator=(const CZorvo&) = delete;

    // Reads `oid` into `value` (`size` bytes, at least 1); 0 or an error code.
    int GetOid(const char* oid, char* value, std::size_t size);
    int SetOid(const char* oid, const char* value);
    int GetOidInt(const char* oid, int32_t& number);
    bool GetNonce();
    bool GetVers(int32_t* version);

    int GetOid3(const char* oid, char* value, std::size_t size);
    int SetOid3(const char* oid, const char* value);
    bool GetNonce3();
    bool GetVers3(int32_t* version);

    // One authenticated exchange, retried once after a refused digest.
    // `replyLength`: in, the reply limit; out, bytes received or -1.
    bool SendAuthReq(uint8_t* request, std::size_t length, uint8_t* reply, int& replyLength, int32_t timeoutUs);
    bool SendAuthReq3(uint8_t* request, std::size_t length, uint8_t* reply, int& replyLength, int32_t timeoutUs);
    bool SendAuthReqCmn(const uint8_t* request, std::size_t length, uint8_t* reply, int& replyLength,
                        int32_t timeoutUs);

    static const char* strerror(int code) { return zorvo::ErrorText(code); }
    bool CreateCreds(const uint8_t nonce[16]);
    char* MakeDigest(const char* text, std::size_t length, char out[33]);
    static char* Asciify(char out[33], const uint8_t bytes[16]) { return zorvo::Asciify(out, bytes); }
    static char* Strupr(char* text);
    // One datagram of at most `size` bytes within the time-out: its length, or
    // -1 when none came (or it was larger than `size`).
    int UdpRead(uint8_t* buffer, std::size_t size, bool single, int32_t timeoutUs);

    // 0 when ready, else the code of the last failure.
    int ErrorCode() const { return errorCode; }
    int32_t ProtoVersion() const { return protoVersion; }
    uint8_t SeqNo() const { return seqNo; }
    const std::optional<std::string>& Password() const { return password; }
    const sockaddr_in& PeerAddr() const { return peerAddr; }

private:
    int errorCode = 0;
    int32_t protoVersion = 0;
    uint8_t seqNo = 0;
    platform::OwnedFd sock;
    sockaddr_in localAddr{};
    sockaddr_in peerAddr{};
    uint8_t digest[16] = {};
    char digestText[33] = {};
    uint8_t lastNonce[100] = {};
    std::optional<std::string> userName;
    std::optional<std::string> password;
    bool ready = false;  // construction ended with errorCode 0

    bool Send(const uint8_t* data, std::size_t length);
    // Reads datagrams until `answers` takes one or `timeoutUs` has passed
    // since the call: its length, or -1 (none taken, or one over `size`).
    int Await(uint8_t* reply, std::size_t size, int32_t timeoutUs, const std::function<bool(int)>& answers);
    bool Resolve(const char* host);
    // The read and write steps shared by both generations.
    int Read(bool fourth, const char* oid, char* value, std::size_t size);
    int Write(bool fourth, const char* oid, const char* value);
};
