#include "dns_message_reader.h"

namespace camsim::dns {

std::optional<std::uint16_t> readU16(std::span<const std::uint8_t> message, std::size_t at) {
    if (at > message.size() || message.size() - at < 2) return std::nullopt;
    return static_cast<std::uint16_t>(message[at] << 8 | message[at + 1]);
}

std::optional<ReadName> readName(std::span<const std::uint8_t> message, std::size_t at) {
    ReadName out;
    std::optional<std::size_t> next;  // set at the first pointer
    std::size_t pos = at;
    std::size_t runStart = at;        // first byte of the labels read since the last jump
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

}  // namespace camsim::dns
