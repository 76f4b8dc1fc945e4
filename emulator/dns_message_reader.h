#pragma once
// Bounds-checked reads from a received DNS message. Every read says whether
// the bytes were there; nothing reads past the end of the datagram.

#include "dns_wire.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace camsim::dns {

std::optional<std::uint16_t> readU16(std::span<const std::uint8_t> message, std::size_t at);

struct ReadName {
    Name name;
    std::size_t next = 0;  // just after the name's own bytes (after a pointer, not its target)
};

// The name starting at `at`, following compression pointers. Nothing when
// the name runs past the end, is longer than 255 bytes, uses a reserved
// label type, or has a pointer that does not point back before the labels
// that led to it (which also rules out loops).
std::optional<ReadName> readName(std::span<const std::uint8_t> message, std::size_t at);

}  // namespace camsim::dns
