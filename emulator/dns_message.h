#pragma once
// DNS messages for the emulator's mDNS code (RFC 1035 4.1, multicast DNS of
// RFC 6762): bounds-checked reads from a received message, and a writer of
// header, names (with or without compression pointers) and records whose
// RDLENGTH is filled in afterwards. All multi-byte fields are big-endian.
//
//   0  ID        2  flags     4  QDCOUNT   6  ANCOUNT   8  NSCOUNT  10  ARCOUNT
//   12 questions: name, type (2), class (2)
//      records:   name, type (2), class (2), TTL (4), RDLENGTH (2), RDATA

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
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
bool SameName(const Name& a, const Name& b);

// Reads say whether the bytes were there; nothing reads past the end of the datagram.
std::optional<std::uint16_t> ReadU16(std::span<const std::uint8_t> message, std::size_t at);

struct NameAt {
    Name name;
    std::size_t next = 0;  // just after the name's own bytes (after a pointer, not its target)
};

// The name starting at `at`, following compression pointers. Nothing when
// the name runs past the end, is longer than 255 bytes, uses a reserved
// label type, or has a pointer that does not point back before the labels
// that led to it (which also rules out loops).
std::optional<NameAt> ReadName(std::span<const std::uint8_t> message, std::size_t at);

struct Header {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    std::uint16_t questions = 0;
    std::uint16_t answers = 0;
    std::uint16_t authorities = 0;
    std::uint16_t additionals = 0;
};

class MessageWriter {
public:
    // compress: a name, or its tail, that was written before becomes a
    // pointer to the earlier copy (RFC 1035 4.1.4).
    explicit MessageWriter(bool compress) : compress_(compress) {}

    void WriteHeader(const Header& h);
    void Question(const Name& name, std::uint16_t type, std::uint16_t cls);
    // Owner, type, class, TTL and a placeholder RDLENGTH; the RDATA follows
    // with the calls below and EndRecord() fills in its length.
    void BeginRecord(const Name& owner, std::uint16_t type, std::uint16_t cls, std::uint32_t ttl);
    void EndRecord();

    void WriteName(const Name& name);
    void U8(std::uint8_t value) { out_.push_back(value); }
    void U16(std::uint16_t value);
    void U32(std::uint32_t value);
    void Bytes(std::span<const std::uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
    // A character-string: length byte, then the text.
    void CharacterString(const std::string& text);

    // False once something could not be written as DNS allows (a label
    // longer than 63 bytes, ...); Error() then says what.
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::vector<std::uint8_t>& Message() const { return out_; }

private:
    void Fail(const std::string& why);

    struct Written {
        Name suffix;
        std::uint16_t offset;
    };
    bool compress_;
    std::vector<std::uint8_t> out_;
    std::vector<Written> written_;  // name tails and where they start, for pointers
    std::size_t recordDataAt_ = 0;  // where the open record's RDATA starts; 0: none open
    std::string error_;
};

}  // namespace camsim::dns
