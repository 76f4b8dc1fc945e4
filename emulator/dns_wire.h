#pragma once
// DNS message layout shared by the emulator's mDNS code (RFC 1035 4.1,
// multicast DNS of RFC 6762). All multi-byte fields are big-endian.
//
//   0  ID        2  flags     4  QDCOUNT   6  ANCOUNT   8  NSCOUNT  10  ARCOUNT
//   12 questions: name, type (2), class (2)
//      records:   name, type (2), class (2), TTL (4), RDLENGTH (2), RDATA

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace camsim::dns {

inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kMaxLabel = 63;
inline constexpr std::size_t kMaxName = 255;  // wire length, root byte included

inline constexpr std::uint16_t kFlagResponse = 0x8000;       // QR
inline constexpr std::uint16_t kFlagAuthoritative = 0x0400;  // AA
inline constexpr unsigned kOpcodeShift = 11;
inline constexpr std::uint16_t kOpcodeMask = 0xF;

inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kTypePtr = 12;
inline constexpr std::uint16_t kTypeTxt = 16;
inline constexpr std::uint16_t kTypeAaaa = 28;
inline constexpr std::uint16_t kTypeSrv = 33;
inline constexpr std::uint16_t kTypeNsec = 47;
inline constexpr std::uint16_t kTypeAny = 255;

inline constexpr std::uint16_t kClassIn = 1;
inline constexpr std::uint16_t kClassAny = 255;
// Top bit of a record's class in mDNS: the record replaces cached ones
// (cache flush); of a question's class: a unicast answer is asked for.
inline constexpr std::uint16_t kClassTopBit = 0x8000;

inline constexpr std::uint8_t kPointerTag = 0xC0;  // top two bits of a compression pointer
inline constexpr std::uint16_t kMaxPointerOffset = 0x3FFF;

// A domain name as its labels, without the empty root label.
using Name = std::vector<std::string>;

// DNS compares names without regard to ASCII case.
bool sameName(const Name& a, const Name& b);

}  // namespace camsim::dns
