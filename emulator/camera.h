#pragma once
// One emulated camera as the config file describes it. Every camera-side
// service reads from this; nothing here knows a wire format.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace camsim {

using HwAddr = std::array<std::uint8_t, 6>;
// IPv4 address, first octet first (network order).
using Ipv4 = std::array<std::uint8_t, 4>;

// Which discovery requests a camera answers.
enum class AnswerMode {
    Range,  // only requests whose range holds the last byte of the hardware address
    Every,  // every request
};

// An option appended verbatim after the regular ones, for tests of unknown
// types and malformed data.
struct ExtraOption {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> value;
    // Length written in the option header instead of value.size(), so a test
    // can declare more (or fewer) bytes than follow.
    std::optional<std::uint16_t> declaredLength;
};

struct Camera {
    std::string name;
    HwAddr hwAddr{};
    Ipv4 ip{};  // 0.0.0.0: the camera has no address yet
    Ipv4 subnet{};
    Ipv4 gateway{};
    std::string productName;
    std::optional<std::string> productCode;  // hexadecimal text, sent as is
    std::uint8_t dhcp = 0;
    std::optional<std::uint16_t> httpPort;
    AnswerMode answer = AnswerMode::Range;
    std::vector<ExtraOption> extraOptions;
    bool noEndMarker = false;
    // When set, the camera sends exactly these bytes instead of a built reply.
    std::optional<std::vector<std::uint8_t>> rawReply;
};

}  // namespace camsim
