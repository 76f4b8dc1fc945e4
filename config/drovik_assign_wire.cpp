#include "drovik_assign_wire.h"

#include <cstring>

#include "assign_result.h"
#include "camera_model.h"
#include "drovik_wire.h"
#include "md5.h"
#include "zorvo_wire.h"

namespace drovik {
namespace {

using camera_model::kPassword;
using camera_model::kUser;

std::size_t PutOption(uint8_t* out, std::size_t at, uint8_t type, const void* value, uint16_t length) {
    out[at] = type;
    out[at + 1] = 0;
    out[at + 2] = static_cast<uint8_t>(length >> 8);
    out[at + 3] = static_cast<uint8_t>(length);
    std::memcpy(out + at + 4, value, length);
    return at + 4 + length;
}

}  // namespace

uint8_t AssignPacketId(uint32_t random) {
    const uint8_t id = static_cast<uint8_t>(random % 255);  // 0 to 254
    return id < kDiscoveryPacketId ? id : static_cast<uint8_t>(id + 1);
}

void AssignDigest(const uint8_t nonce[16], uint8_t digest[16]) {
    char password[sizeof kPassword];
    for (std::size_t i = 0; i < sizeof kPassword; ++i)
        password[i] =
            kPassword[i] >= 'a' && kPassword[i] <= 'z' ? static_cast<char>(kPassword[i] - 'a' + 'A') : kPassword[i];
    char text[zorvo::kCredentialsBytes];
    zorvo::CredentialsText(nonce, kUser, password, text);
    Md5Context context;
    Md5Start(context);
    Md5Feed(context, text, std::strlen(text));
    Md5Finish(context, digest);
}

std::size_t BuildAssignRequest(uint8_t packetId, const uint8_t digest[16], const uint8_t hwAddr[6], bool reboot,
                               bool dhcp, uint32_t ip, uint32_t subnet, uint32_t gateway,
                               uint8_t (&out)[kAssignRequestBytes]) {
    std::memset(out, 0, sizeof out);
    out[0] = packetId;
    out[1] = kCodeAssignRequest;
    std::memcpy(out + 4, digest, 16);
    std::memcpy(out + 20, hwAddr, 6);
    out[26] = reboot ? 1 : 0;
    std::size_t at = 28;
    if (dhcp) {
        const uint8_t on = 1;
        at = PutOption(out, at, kOptionDhcp, &on, 1);
    } else {
        const uint8_t off = 0;
        at = PutOption(out, at, kOptionIpAddr, &ip, 4);
        at = PutOption(out, at, kOptionSubnet, &subnet, 4);
        at = PutOption(out, at, kOptionGateway, &gateway, 4);
        at = PutOption(out, at, kOptionDhcp, &off, 1);
    }
    return at + 4;  // the end marker: type 0, zeros (already there)
}

uint8_t AssignResult(const uint8_t* reply, std::size_t length) {
    const uint8_t code = length > 1 ? reply[1] : 0;
    if (code != kCodeAssignReply) return kAssignIncorrectResponse;
    const uint8_t status = length > 4 ? reply[4] : 0;
    if (status == 1) return kAssignFailure;
    if (status == 2) return kAssignInvalidPassword;
    return kAssignSuccess;
}

bool IsAssignReply(const uint8_t* datagram, std::size_t length) {
    return length > 4 && length < kFixedPart && datagram[1] == kCodeAssignReply;
}

}  // namespace drovik
