#pragma once
// Multicast DNS, as the scan uses it: the PTR query for _http._tcp.local and
// the reading of answers into camera records. Pure functions over byte
// buffers; every read is checked against the datagram's length.
#include <netinet/in.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "camera_record.h"

// One datagram taken in during a discovery.
struct MdnsReply {
    int length;
    uint8_t data[1000];
    int iface;  // index in the interface list of the interface it arrived on
    sockaddr_in source;
    uint8_t duplicate;
    int first, found;  // its records, read once as it arrived: where they start in the scan's list, how many
};

namespace mdns {

inline constexpr uint16_t kPort = 5353;
inline constexpr uint32_t kGroup = 0xE00000FB;  // 224.0.0.251, host order
inline constexpr std::size_t kSlotBytes = 1000;
inline constexpr int kMaxReplies = kCameraLimit;
inline constexpr std::size_t kNameBuffer = 256;  // a name is at most 255 characters

inline constexpr uint16_t kTypeA = 1;
inline constexpr uint16_t kTypePtr = 12;
inline constexpr uint16_t kTypeTxt = 16;
inline constexpr uint16_t kTypeSrv = 33;

// Query, 34 bytes: header (ID 0, flags 0, one question), then
// _http._tcp.local, type PTR (12), class IN (1) with the unicast-response bit clear.
using Query = std::array<uint8_t, 34>;
Query MakeQuery();

// Header: ID (2) | flags (2) | questions (2) | answers (2) | authority (2) | additional (2)
struct Header {
    uint16_t questions, answers, authority, additional;
};
// False when the datagram is shorter than a header.
bool ReadHeader(const uint8_t* data, std::size_t length, Header& header);

// A datagram that describes at least one of the maker's cameras: an answer
// PTR _http._tcp.local naming a camera instance, and that instance's TXT record.
bool DescribesCamera(const uint8_t* data, std::size_t length);

// Expands the name at `at` into dotted text. Labels may not run past `end`
// (within the datagram); a compression pointer may only point before the
// start of the labels it stands in, so every walk ends. `next` is set to the
// position after the name's own bytes. False when the name breaks a limit.
bool ExpandName(const uint8_t* message, std::size_t length, std::size_t at, std::size_t end, char (&name)[kNameBuffer],
                std::size_t& next);

// The first hyphen of an instance name is followed by the maker's OUI, "02e5a1" in any case.
bool NamesMakersCamera(const char* name);

// Marks every later datagram from an earlier one's sender address (ports
// aside) as a duplicate, and traces each.
void MarkDuplicateSenders(MdnsReply* replies, int count);

// Applies the key=value strings of one TXT record's data to `record`. Sets
// `linkLocal` when the camera's address begins with 169.254.
void ApplyTxtStrings(const uint8_t* data, std::size_t length, CameraRecord& record, bool& linkLocal);

// Reads one datagram and appends a record for each camera instance it names
// (a PTR _http._tcp.local answer whose target carries the maker's OUI) that has
// a TXT record in the same datagram, up to `room`. Nothing else makes a record.
// Returns the number appended; `linkLocal` is set when one of them has a
// link-local address. `describesCamera`, when given, tells DescribesCamera's
// answer from the same reading, even when no record could be made.
int ReadAnswer(const uint8_t* data, std::size_t length, const sockaddr_in& ifaceAddr, CameraRecord* out, int room,
               bool& linkLocal, bool* describesCamera = nullptr);

// The most records one datagram can make.
inline constexpr int kMaxCamerasPerDatagram = 64;

}  // namespace mdns
