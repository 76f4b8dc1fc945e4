#include "mdns_wire.h"

#include <arpa/inet.h>
#include <strings.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "debug_trace.h"

namespace mdns {
namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kRecordFixed = 10;                 // type (2) | class (2) | time to live (4) | data length (2)
constexpr int kMaxRecordsKept = kMaxCamerasPerDatagram;  // SRV and TXT records remembered per datagram

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

struct TxtKey {
    const char* text;
    std::size_t compared;
};

// The first key whose text begins the string wins, in this order.
constexpr TxtKey kKeys[] = {
    {"server name", 11},  {"ip addr", 7}, {"subnet", 6},        {"gateway", 7},
    {"product name", 12}, {"dhcp", 4},    {"product code", 12}, {"hw addr", 6},
};

// `value` cut to `fieldSize` - 1 characters into `field`.
void CopyValue(char* field, std::size_t fieldSize, const char* value) {
    CopyTextField(field, fieldSize, reinterpret_cast<const unsigned char*>(value), std::strlen(value));
}

int32_t HexNumber(const char* text) {
    long number = std::strtol(text, nullptr, 16);
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(number);
}

void ApplyHwAddr(const char* value, CameraRecord& record) {
    // Twelve hexadecimal digits; taken in pairs, in the case sent.
    char* text = record.hwAddrText;
    for (int pair = 0; pair < 6; ++pair) {
        const char* digits = value + 2 * pair;
        if (std::strlen(value) < static_cast<std::size_t>(2 * pair + 2)) break;
        if (pair > 0) *text++ = ':';
        *text++ = digits[0];
        *text++ = digits[1];
        const char byte[3] = {digits[0], digits[1], '\0'};
        record.hwAddr[pair] = static_cast<unsigned char>(std::strtol(byte, nullptr, 16));
    }
    *text = '\0';
}

void ApplyString(const char* text, CameraRecord& record, bool& linkLocal) {
    int key = -1;
    for (int k = 0; k < static_cast<int>(std::size(kKeys)); ++k) {
        if (std::strncmp(text, kKeys[k].text, kKeys[k].compared) == 0) {
            key = k;
            break;
        }
    }
    if (key < 0) return;
    const char* equals = std::strchr(text, '=');
    const char* value = equals ? equals + 1 : "";
    char shortValue[20];  // dhcp, product code and hw addr values: at most 19 characters
    CopyValue(shortValue, sizeof shortValue, value);
    switch (key) {
    case 0: CopyValue(record.name, sizeof record.name, value); break;
    case 1: {
        // The text came from the network: only four dotted decimals make an
        // address, and the record's text is made anew from the number.
        in_addr address{};
        if (inet_pton(AF_INET, value, &address) != 1) {
            DebugTrace("ParseTXT: ip addr \"%.40s\" is no IPv4 address", value);
            record.ipAddrText[0] = '\0';
            record.ipAddr = 0;
            break;
        }
        inet_ntop(AF_INET, &address, record.ipAddrText, sizeof record.ipAddrText);
        record.ipAddr = address.s_addr;
        if ((ntohl(address.s_addr) >> 16) == 0xA9FE) linkLocal = true;
        break;
    }
    case 2: CopyValue(record.subnetText, sizeof record.subnetText, value); break;
    case 3: CopyValue(record.gatewayText, sizeof record.gatewayText, value); break;
    case 4: CopyValue(record.productName, sizeof record.productName, value); break;
    case 5:
        if (std::strcmp(shortValue, "enabled") == 0) record.dhcp |= 1;
        break;
    case 6: record.productCode = HexNumber(shortValue); break;
    case 7: ApplyHwAddr(shortValue, record); break;
    }
}

// Checks that the data is a sequence of whole character-strings.
bool WholeStrings(const uint8_t* data, std::size_t length) {
    std::size_t at = 0;
    while (at < length) at += 1 + data[at];
    return at == length;
}

struct KeptRecord {
    char owner[kNameBuffer];
    std::size_t data;    // offset of the record's data
    std::size_t length;  // its length
};

}  // namespace

Query MakeQuery() {
    // clang-format off
    return {0, 0,  0, 0,  0, 1,  0, 0,  0, 0,  0, 0,  // header: one question
            5, '_', 'h', 't', 't', 'p',
            4, '_', 't', 'c', 'p',
            5, 'l', 'o', 'c', 'a', 'l',
            0,
            0, kTypePtr,  // PTR
            0, 1};        // IN, unicast response not requested
    // clang-format on
}

bool ReadHeader(const uint8_t* data, std::size_t length, Header& header) {
    if (length < kHeaderBytes) return false;
    header = {Word(data + 4), Word(data + 6), Word(data + 8), Word(data + 10)};
    return true;
}

bool ExpandName(const uint8_t* message, std::size_t length, std::size_t at, std::size_t end, char (&name)[kNameBuffer],
                std::size_t& next) {
    if (end > length) end = length;
    std::size_t pos = at;
    std::size_t segmentStart = at;  // pointers must point before this
    std::size_t written = 0;
    bool jumped = false;
    name[0] = '\0';
    for (;;) {
        if (pos >= end) return false;
        const uint8_t byte = message[pos];
        if ((byte & 0xC0) == 0xC0) {
            if (pos + 1 >= end) return false;
            const std::size_t target = (std::size_t{byte & 0x3Fu} << 8) | message[pos + 1];
            if (target >= segmentStart) return false;  // forward, or a loop
            if (!jumped) next = pos + 2;
            jumped = true;
            pos = segmentStart = target;
            end = length;  // a pointed-to name may lie anywhere before
            continue;
        }
        if (byte & 0xC0) return false;  // label types other than plain labels
        if (byte == 0) {
            if (!jumped) next = pos + 1;
            name[written] = '\0';
            return true;
        }
        if (pos + 1 + byte > end) return false;
        const std::size_t dot = written > 0 ? 1 : 0;
        if (written + dot + byte > kNameBuffer - 1) return false;
        if (dot) name[written++] = '.';
        std::memcpy(name + written, message + pos + 1, byte);
        written += byte;
        pos += 1 + byte;
    }
}

bool NamesMakersCamera(const char* name) {
    const char* hyphen = std::strchr(name, '-');
    if (!hyphen || std::strlen(hyphen + 1) < 6) return false;
    return strncasecmp(hyphen + 1, "02e5a1", 6) == 0;
}

void MarkDuplicateSenders(MdnsReply* replies, int count) {
    std::unordered_map<uint32_t, int> first;  // sender address: its earliest unmarked datagram
    for (int j = 0; j < count; ++j) {
        if (replies[j].duplicate) continue;
        const auto [at, fresh] = first.emplace(replies[j].source.sin_addr.s_addr, j);
        if (fresh) continue;
        replies[j].duplicate = 1;
        char a[INET_ADDRSTRLEN], b[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &replies[j].source.sin_addr, a, sizeof a);
        inet_ntop(AF_INET, &replies[at->second].source.sin_addr, b, sizeof b);
        DebugTrace("entry %d/%s is a dup of entry %d/%s", j, a, at->second, b);
    }
}

void ApplyTxtStrings(const uint8_t* data, std::size_t length, CameraRecord& record, bool& linkLocal) {
    std::size_t at = 0;
    while (at < length) {
        const std::size_t size = data[at];
        if (at + 1 + size > length) return;
        char text[kNameBuffer];
        CopyTextField(text, sizeof text, data + at + 1, size);
        ApplyString(text, record, linkLocal);
        at += 1 + size;
    }
}

namespace {

bool IsHttpService(const char* name) { return strcasecmp(name, "_http._tcp.local") == 0; }

// What one walk over a datagram's records found. A record that breaks a limit
// ends the walk; what came before it still counts.
struct Walk {
    char cameras[kMaxRecordsKept][kNameBuffer];  // targets of PTR _http._tcp.local answers naming a camera
    int cameraCount = 0;
    KeptRecord srv[kMaxRecordsKept], txt[kMaxRecordsKept];
    int srvCount = 0, txtCount = 0;
};

void Keep(KeptRecord* kept, int& count, const char* owner, std::size_t data, std::size_t length) {
    if (count == kMaxRecordsKept) return;
    KeptRecord& k = kept[count++];
    std::memcpy(k.owner, owner, kNameBuffer);
    k.data = data;
    k.length = length;
}

// False when the header rules the datagram out. Records may follow the PTR
// answers in the answer section too, so the additional count may be 0.
bool WalkRecords(const uint8_t* data, std::size_t length, Walk& walk) {
    Header header;
    if (!ReadHeader(data, length, header)) return false;
    if (header.questions != 0 || header.authority != 0 || header.answers == 0) return false;
    std::size_t pos = kHeaderBytes;
    const int records = header.answers + header.additional;
    for (int i = 0; i < records; ++i) {
        char owner[kNameBuffer];
        std::size_t after = 0;
        if (!ExpandName(data, length, pos, length, owner, after)) break;
        if (length - after < kRecordFixed) break;
        const uint16_t type = Word(data + after);
        const uint16_t rrClass = Word(data + after + 2);
        const std::size_t dataAt = after + kRecordFixed;
        const std::size_t dataLength = Word(data + after + 8);
        if (dataLength > length - dataAt) break;
        pos = dataAt + dataLength;

        if (type == kTypePtr) {
            char target[kNameBuffer];
            std::size_t targetEnd = 0;
            if (!ExpandName(data, length, dataAt, dataAt + dataLength, target, targetEnd)) break;
            // Only an answer for the web service that names one of the maker's
            // cameras says a camera is here; any other pointer is another device's.
            if (i < header.answers && IsHttpService(owner) && NamesMakersCamera(target) &&
                walk.cameraCount < kMaxRecordsKept)
                std::memcpy(walk.cameras[walk.cameraCount++], target, sizeof target);
        } else if (type == kTypeSrv && (rrClass & 1) && dataLength >= 6) {
            Keep(walk.srv, walk.srvCount, owner, dataAt, dataLength);
        } else if (type == kTypeTxt) {
            if (!WholeStrings(data + dataAt, dataLength)) break;
            Keep(walk.txt, walk.txtCount, owner, dataAt, dataLength);
        }
        // Address, NSEC and other records carry nothing the list needs.
    }
    return true;
}

bool IsCamera(const Walk& walk, const char* owner) {
    for (int c = 0; c < walk.cameraCount; ++c)
        if (strcasecmp(walk.cameras[c], owner) == 0) return true;
    return false;
}

}  // namespace

bool DescribesCamera(const uint8_t* data, std::size_t length) {
    auto walk = std::make_unique<Walk>();
    if (!WalkRecords(data, length, *walk)) return false;
    for (int t = 0; t < walk->txtCount; ++t)
        if (IsCamera(*walk, walk->txt[t].owner)) return true;
    return false;
}

int ReadAnswer(const uint8_t* data, std::size_t length, const sockaddr_in& ifaceAddr, CameraRecord* out, int room,
               bool& linkLocal, bool* describesCamera) {
    if (describesCamera) *describesCamera = false;
    auto walk = std::make_unique<Walk>();
    if (!WalkRecords(data, length, *walk)) return 0;

    // One record per camera instance: its first TXT record, its port from the
    // SRV record of the same owner.
    int added = 0;
    char ifaceText[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &ifaceAddr.sin_addr, ifaceText, sizeof ifaceText);
    for (int t = 0; t < walk->txtCount && added < room; ++t) {
        const KeptRecord& txt = walk->txt[t];
        if (!IsCamera(*walk, txt.owner)) continue;
        if (describesCamera) *describesCamera = true;
        bool repeated = false;
        for (int u = 0; u < t && !repeated; ++u) repeated = strcasecmp(walk->txt[u].owner, txt.owner) == 0;
        if (repeated) continue;

        CameraRecord& record = out[added];
        std::memset(&record, 0, sizeof record);
        ApplyTxtStrings(data + txt.data, txt.length, record, linkLocal);
        for (int s = 0; s < walk->srvCount; ++s) {
            if (strcasecmp(walk->srv[s].owner, txt.owner) != 0) continue;
            record.httpPort = Word(data + walk->srv[s].data + 4);  // after priority and weight
            std::snprintf(record.httpPortText, sizeof record.httpPortText, "%d", record.httpPort);
            break;
        }
        if (record.ipAddrText[0] == '\0') {
            DebugTrace("ParseTXT: %s names no IPv4 address: not listed", txt.owner);
            continue;
        }
        record.foundByDrovik = 0;
        record.ifaceAddr = ifaceAddr;
        DebugTrace("ParseTXT: %s is on iface %s", record.ipAddrText, ifaceText);
        // Both parts made here from numbers, never the received text.
        std::snprintf(record.webAddr, sizeof record.webAddr, "%s:%s", record.ipAddrText, record.httpPortText);
        ++added;
    }
    return added;
}

}  // namespace mdns
