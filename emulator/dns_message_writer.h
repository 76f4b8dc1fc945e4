#pragma once
// Writes a DNS message into a byte buffer: header, names (with or without
// compression pointers) and records whose RDLENGTH is filled in afterwards.

#include "dns_wire.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace camsim::dns {

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

    void header(const Header& h);
    void question(const Name& name, std::uint16_t type, std::uint16_t cls);
    // Owner, type, class, TTL and a placeholder RDLENGTH; the RDATA follows
    // with the calls below and endRecord() fills in its length.
    void beginRecord(const Name& owner, std::uint16_t type, std::uint16_t cls, std::uint32_t ttl);
    void endRecord();

    void name(const Name& name);
    void u8(std::uint8_t value) { out_.push_back(value); }
    void u16(std::uint16_t value);
    void u32(std::uint32_t value);
    void bytes(std::span<const std::uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
    // A character-string: length byte, then the text.
    void characterString(const std::string& text);

    // False once something could not be written as DNS allows (a label
    // longer than 63 bytes, ...); error() then says what.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::vector<std::uint8_t>& message() const { return out_; }

private:
    void fail(const std::string& why);

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
