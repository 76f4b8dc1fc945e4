#pragma once
// The maker's broadcast protocol, assignment side: the request bytes, the
// credentials digest and the reply's result, as pure functions.
#include <cstddef>
#include <cstdint>

namespace drovik {

inline constexpr std::size_t kAssignFixedBytes = 61;
inline constexpr std::size_t kAssignDhcpBytes = 37;
inline constexpr std::size_t kAssignRequestBytes = 61;  // the longer form
inline constexpr std::size_t kAssignReplyBytes = 500;   // a reply is read up to this size

// An assignment's packet ID from a random number: one of the 255 IDs other
// than the discovery's, so that a late discovery reply never passes for the answer.
uint8_t AssignPacketId(uint32_t random);

// MD5 of "nonce-hex:root:QIVNEP": the camera's discovery challenge, the
// administrator and the default password in upper case.
void AssignDigest(const uint8_t nonce[16], uint8_t digest[16]);

// Assignment request:
//   0 packet ID | 1 code 3 | 2-3 zero | 4-19 digest | 20-25 target hardware address
//   26 reboot (1/0) | 27 zero | options (type, 0, length big-endian, value) | end marker, 4 zeros
// Fixed address: options 1 IP, 2 subnet, 3 gateway (4 bytes each, network order), 8 dhcp 0: 61 bytes.
// DHCP: option 8 dhcp 1 only: 37 bytes. Addresses are in network order.
std::size_t BuildAssignRequest(uint8_t packetId, const uint8_t digest[16], const uint8_t hwAddr[6], bool reboot,
                               bool dhcp, uint32_t ip, uint32_t subnet, uint32_t gateway,
                               uint8_t (&out)[kAssignRequestBytes]);

// Assignment reply: 0 packet ID | 1 code 5 | 2-3 not read | 4 status (0 done,
// 1 assignment failed, 2 wrong password). Bytes past the datagram count as 0.
// The result code of a reply whose packet ID matched: kAssignSuccess,
// kAssignIncorrectResponse, kAssignFailure or kAssignInvalidPassword.
uint8_t AssignResult(const uint8_t* reply, std::size_t length);

// Whether a datagram has an assignment reply's form: code 5, the status byte
// within it, shorter than a discovery reply. Only such a reply with another
// packet ID uses up one of the three reads.
bool IsAssignReply(const uint8_t* datagram, std::size_t length);

}  // namespace drovik
