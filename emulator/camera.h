#pragma once
// One emulated camera as the config file describes it. Every camera-side
// service reads from this; nothing here knows a wire format.

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camsim {

using HwAddr = std::array<std::uint8_t, 6>;
// IPv4 address, first octet first (network order).
using Ipv4 = std::array<std::uint8_t, 4>;

// Dotted-decimal text, for logs and the cameras' own texts.
inline std::string Dotted(const Ipv4& a) {
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    return buf;
}

// Lower-case hexadecimal pairs joined by `separator`.
inline std::string HexText(std::span<const std::uint8_t> bytes, const char* separator = "") {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        if (!out.empty()) out += separator;
        out += {kHex[b >> 4], kHex[b & 0x0F]};
    }
    return out;
}

// Which discovery requests a camera answers.
enum class AnswerMode {
    Range,  // only requests whose range holds the last byte of the hardware address
    Every,  // every request
};

// An option appended verbatim after the regular ones, for fuzz seeds with
// unknown types and malformed data (no config key sets it).
struct ExtraOption {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> value;
    // Length written in the option header instead of value.size(), so a test
    // can declare more (or fewer) bytes than follow.
    std::optional<std::uint16_t> declaredLength;
    bool operator==(const ExtraOption&) const = default;
};

// Records a camera's mDNS answer carries after its PTR record.
enum class MdnsRecord { Srv, Txt, A, Aaaa, Nsec };

// Where the records after the PTR go: the additional section (the usual
// shape) or, like some responders do, the answer section with the PTR.
enum class MdnsSection { Additional, Answer };

// How a camera serving the OID protocol misbehaves.
enum class ZorvoFault {
    None,
    RefuseFirst,   // refuses its first OID request (status 1, fresh nonce) whatever the digest
    RefuseAlways,  // refuses every OID request
    WrongCommand,  // generation-4 OID replies echo another command byte
    WrongSeq,      // generation-4 OID replies echo another sequence number
    ShortRead,     // a generation-4 read reply stops after the echoes (6 bytes)
    Oversize,      // every OID reply is padded to 60 bytes
    Status2,       // every OID request gets status 2 (and the echoes), nothing else
};

// How a camera answers a broadcast assignment meant for it.
enum class AssignReply {
    Normal,   // applies the settings, status 0
    Silent,   // ignores the request: no reply, nothing applied
    Refuse,   // status 1, nothing applied
    Status7,  // applies the settings, status 7
    Code4,    // applies the settings, status 0, but code 4 instead of 5
};

// How a camera's web server demands the administrator's credentials.
enum class HttpAuth { Basic, Digest };

// How a camera's web server misbehaves, on every request.
enum class HttpFault {
    None,
    Unauthorized,  // 401 with a challenge, whatever the credentials, nothing applied
    Error,         // 200 with a "%Error" body, nothing applied
    Chunked,       // the usual body in chunked transfer encoding
    NoLength,      // the usual body without Content-Length, ended by closing the connection
    NoBody,        // 200 without Content-Length and without body bytes, then the connection closes
    Empty,         // 200 with Content-Length 0
    SlowHeaders,   // the reply leaves 6 s after the request arrived
    Trickle,       // headers at once, then the body one byte at a time over 12 s
    ShortBody,     // Content-Length announces 10 bytes more than are sent, then the connection closes
    Status500,     // 500, nothing applied
    Status204,     // 204 without a body
    Bare,          // the usual body without its <xmp> and </xmp> markers
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
    // Malformed replies for the fuzz seeds only; the config leaves them as they are.
    std::vector<ExtraOption> extraOptions;
    bool noEndMarker = false;

    bool drovik = true;  // answers the broadcast discovery
    bool mdns = false;   // answers mDNS queries for _http._tcp.local
    std::vector<MdnsRecord> mdnsOrder{MdnsRecord::Srv, MdnsRecord::Txt, MdnsRecord::A};
    MdnsSection mdnsSection = MdnsSection::Additional;
    bool mdnsCompression = true;  // false only in fuzz seeds: names written in full
    // When set, the TXT record carries exactly these strings.
    std::optional<std::vector<std::string>> txt;
    unsigned mdnsDelayMs = 0;

    // Administrator password (the user is always "root"): the OID requests
    // and the broadcast assignment prove it by digest.
    std::string password = "qivnep";

    bool zorvo = false;             // serves the OID protocol on UDP port 35777 of its ip
    std::int32_t zorvoVersion = 4;  // 3: one-byte commands; 4 and up: with sequence numbers
    ZorvoFault zorvoFault = ZorvoFault::None;
    // OID text -> value text; the config loader fills "2.4" with the name
    // when the config does not give it.
    std::map<std::string, std::string> oids;

    AssignReply assignReply = AssignReply::Normal;
    // Replies with the request's packet ID + 1 sent before the proper one.
    unsigned assignWrongIds = 0;
    // The replies leave this long after the request: a late reply to an
    // assignment the PC has given up on.
    unsigned assignDelayMs = 0;

    // Serves get.oid, set.oid and the list commands over HTTP on ip:httpPort (80 when absent).
    bool http = false;
    HttpAuth httpAuth = HttpAuth::Basic;  // for set.oid and the lists; get.oid asks for none
    HttpFault httpFault = HttpFault::None;
    // OID text -> body of that OID's list command, sent as is.
    std::map<std::string, std::string> httpLists;

    bool operator==(const Camera&) const = default;
};

}  // namespace camsim
