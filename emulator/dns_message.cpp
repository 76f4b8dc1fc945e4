#include "dns_message.h"

#include <strings.h>

#include <algorithm>

namespace camsim::dns {

bool SameName(const Name& a, const Name& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const std::string& x, const std::string& y) {
        return x.size() == y.size() && strncasecmp(x.data(), y.data(), x.size()) == 0;  // ASCII: the C locale
    });
}

std::optional<std::uint16_t> ReadU16(std::span<const std::uint8_t> message, std::size_t at) {
    if (at > message.size() || message.size() - at < 2) return std::nullopt;
    return static_cast<std::uint16_t>(message[at] << 8 | message[at + 1]);
}

std::optional<NameAt> ReadName(std::span<const std::uint8_t> message, std::size_t at) {
    NameAt out;
    std::optional<std::size_t> next;  // set at the first pointer
    std::size_t pos = at;
    std::size_t runStart = at;  // first byte of the labels read since the last jump
    std::size_t wireLength = 1;
    for (;;) {
        if (pos >= message.size()) return std::nullopt;
        std::uint8_t length = message[pos];
        if ((length & kPointerTag) == kPointerTag) {
            if (pos + 1 >= message.size()) return std::nullopt;
            std::size_t target = static_cast<std::size_t>(length & 0x3F) << 8 | message[pos + 1];
            // Each jump lands strictly before the previous one: no loop.
            if (target >= runStart) return std::nullopt;
            if (!next) next = pos + 2;
            pos = runStart = target;
            continue;
        }
        if ((length & kPointerTag) != 0) return std::nullopt;  // 0x40 and 0x80: reserved label types
        if (length == 0) {
            out.next = next.value_or(pos + 1);
            return out;
        }
        wireLength += 1u + length;
        if (wireLength > kMaxName) return std::nullopt;
        if (message.size() - pos - 1 < length) return std::nullopt;
        out.name.emplace_back(reinterpret_cast<const char*>(&message[pos + 1]), length);
        pos += 1u + length;
    }
}

void MessageWriter::Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
}

void MessageWriter::WriteHeader(const Header& h) {
    U16(h.id);
    U16(h.flags);
    U16(h.questions);
    U16(h.answers);
    U16(h.authorities);
    U16(h.additionals);
}

void MessageWriter::Question(const Name& n, std::uint16_t type, std::uint16_t cls) {
    WriteName(n);
    U16(type);
    U16(cls);
}

void MessageWriter::BeginRecord(const Name& owner, std::uint16_t type, std::uint16_t cls, std::uint32_t ttl) {
    if (recordDataAt_ != 0) Fail("a record was begun inside another");
    WriteName(owner);
    U16(type);
    U16(cls);
    U32(ttl);
    U16(0);  // RDLENGTH, known at EndRecord()
    recordDataAt_ = out_.size();
}

void MessageWriter::EndRecord() {
    if (recordDataAt_ == 0) return Fail("a record was ended that was not begun");
    std::size_t length = out_.size() - recordDataAt_;
    if (length > 0xFFFF) Fail("record data longer than 65535 bytes");
    out_[recordDataAt_ - 2] = static_cast<std::uint8_t>(length >> 8);
    out_[recordDataAt_ - 1] = static_cast<std::uint8_t>(length & 0xFF);
    recordDataAt_ = 0;
}

void MessageWriter::WriteName(const Name& n) {
    std::size_t wireLength = 1;
    for (const std::string& label : n) {
        if (label.empty()) Fail("empty label in a name");
        if (label.size() > kMaxLabel) Fail("label longer than 63 bytes: \"" + label + "\"");
        wireLength += 1 + label.size();
    }
    if (wireLength > kMaxName) Fail("name longer than 255 bytes");

    for (std::size_t i = 0; i < n.size(); ++i) {
        Name tail(n.begin() + static_cast<std::ptrdiff_t>(i), n.end());
        if (compress_) {
            for (const Written& w : written_) {
                if (SameName(w.suffix, tail)) {
                    U16(static_cast<std::uint16_t>(kPointerTag << 8 | w.offset));
                    return;
                }
            }
            // Pointers hold 14 bits; a tail further in cannot be pointed at.
            if (out_.size() <= kMaxPointerOffset) {
                written_.push_back({std::move(tail), static_cast<std::uint16_t>(out_.size())});
            }
        }
        U8(static_cast<std::uint8_t>(n[i].size()));
        Bytes(std::span(reinterpret_cast<const std::uint8_t*>(n[i].data()), n[i].size()));
    }
    U8(0);
}

void MessageWriter::U16(std::uint16_t value) {
    out_.push_back(static_cast<std::uint8_t>(value >> 8));
    out_.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void MessageWriter::U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value >> 16));
    U16(static_cast<std::uint16_t>(value & 0xFFFF));
}

void MessageWriter::CharacterString(const std::string& text) {
    if (text.size() > 255) Fail("TXT string longer than 255 bytes: \"" + text.substr(0, 40) + "...\"");
    U8(static_cast<std::uint8_t>(text.size()));
    Bytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace camsim::dns
