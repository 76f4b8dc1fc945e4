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

// Records a camera's mDNS answer carries after its PTR record.
enum class MdnsRecord { Srv, Txt, A, Aaaa, Nsec };

// Where the records after the PTR go: the additional section (the usual
// shape) or, like some responders do, the answer section with the PTR.
enum class MdnsSection { Additional, Answer };

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

    bool drovik = true;  // answers the broadcast discovery
    bool mdns = false;   // answers mDNS queries for _http._tcp.local
    // Service instance label; absent: "<name>-<12 hex digits of hwAddr>".
    std::optional<std::string> instance;
    std::vector<MdnsRecord> mdnsOrder{MdnsRecord::Srv, MdnsRecord::Txt, MdnsRecord::A};
    MdnsSection mdnsSection = MdnsSection::Additional;
    bool mdnsCompression = true;
    // When set, the TXT record carries exactly these strings.
    std::optional<std::vector<std::string>> txt;
    unsigned mdnsDelayMs = 0;
};

}  // namespace camsim
