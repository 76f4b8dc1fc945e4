#pragma once
// The maker's broadcast protocol, discovery side: request bytes and reply
// parsing as pure functions over byte buffers.
#include <netinet/in.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "camera_record.h"

namespace drovik {

inline constexpr uint16_t kRequestPort = 43282;   // requests go from and to this port
inline constexpr uint16_t kReplyPort = 43283;     // cameras answer to this port of the PC
inline constexpr std::size_t kReplyBytes = 1000;  // a reply is read up to this size
inline constexpr std::size_t kFixedPart = 28;     // header, hardware address, nonce
inline constexpr std::size_t kHwAddrAt = 6;       // a reply's hardware address
inline constexpr int kMaxReplies = kCameraLimit;
inline constexpr unsigned char kMakerOui[3] = {0x02, 0xE5, 0xA1};

// Packet header, byte 0: every discovery request's ID; an assignment never uses it.
inline constexpr uint8_t kDiscoveryPacketId = 1;
// Packet header, byte 1.
inline constexpr uint8_t kCodeDiscoveryRequest = 1;
inline constexpr uint8_t kCodeAssignRequest = 3;
inline constexpr uint8_t kCodeAssignReply = 5;

// Option types of a discovery reply.
inline constexpr uint8_t kOptionEnd = 0;
inline constexpr uint8_t kOptionIpAddr = 1;       // 4 bytes, network order
inline constexpr uint8_t kOptionSubnet = 2;       // 4 bytes
inline constexpr uint8_t kOptionGateway = 3;      // 4 bytes
inline constexpr uint8_t kOptionName = 4;         // text
inline constexpr uint8_t kOptionProductCode = 5;  // hexadecimal text
inline constexpr uint8_t kOptionProductName = 7;  // text
inline constexpr uint8_t kOptionDhcp = 8;         // 1 byte
inline constexpr uint8_t kOptionHttpPort = 11;    // 2 bytes, big-endian

// Discovery request, 8 bytes:
//   0 packet ID 1 | 1 code 1 | 2-3 zero | 4 range low | 5 range high | 6-7 zero
using DiscoveryRequest = std::array<uint8_t, 8>;
DiscoveryRequest MakeDiscoveryRequest(uint8_t rangeLow, uint8_t rangeHigh);

// One collected reply datagram.
struct Reply {
    std::size_t length;  // bytes held, at most kReplyBytes
    sockaddr_in from;
    bool duplicate;
    bool conflict;  // a second device answered with its hardware address
    // The pass whose request it answers; -1 when that request left through
    // several links, so that one camera may answer it more than once.
    int8_t pass;
    uint8_t bytes[kReplyBytes];
};

// Reply layout:
//   0-5 not read | 6-11 hardware address | 12-27 nonce | 28.. options
// Option: type (1) | not read (1) | value length (2, big-endian) | value
// Fills an empty record (httpPort 80) from one reply; false when the reply is
// shorter than the fixed part. Does not apply the OUI filter.
bool ReadReply(const uint8_t* data, std::size_t length, CameraRecord& record);

// The product code option: base-16 text read as strtol reads it, within 32 bits.
int32_t ReadProductCode(const unsigned char* value, std::size_t length);

bool HasMakerOui(const unsigned char hwAddr[6]);

// Takes the datagram of `length` bytes just read into `slot` from `from` in
// `pass`: false, and the slot stays free, when it is too short to be a reply.
bool HoldReply(Reply& slot, std::size_t length, const sockaddr_in& from, int8_t pass = 0);

// A reply's hardware address as one number, and the replies kept so far by it.
uint64_t HwKey(const Reply& reply);
using HwIndex = std::unordered_map<uint64_t, std::vector<int>>;

// Whether the reply just held in `replies[index]` keeps its slot, as
// MarkDuplicates and BuildRecords will decide once every reply is in: it
// reads as one of the maker's cameras and repeats no earlier one. A reply
// with an earlier one's hardware address repeats it unless it came from
// another sender, or in the same pass with another challenge (a camera
// answers a request once): then a second device has that address, both are
// marked `conflict` and it keeps its slot; a third one is a repeat. Repeats
// are traced with `arrival`, the reply's place among all replies heard. The
// record goes into `record`.
// `byHw`, when given, lists the kept replies by hardware address (HwKey) so
// that a reply is weighed against the few with its address, not every one.
bool AcceptReply(Reply* replies, int index, int arrival, CameraRecord& record, const HwIndex* byHw = nullptr);

// Marks every later reply that AcceptReply would not keep as a duplicate
// (the first reply wins) and traces each; marks the conflicting pairs.
void MarkDuplicates(Reply* replies, int count);

// Turns the unmarked replies of the maker's cameras into records, in order of
// arrival, with their conflict marks; returns the number written to `out`.
int BuildRecords(const Reply* replies, int count, CameraRecord* out);

}  // namespace drovik
