#include "drovik_wire.h"

#include <arpa/inet.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "debug_trace.h"

namespace drovik {
namespace {

constexpr std::size_t kNonceAt = 12;  // a reply's challenge
constexpr std::size_t kOptionHeader = 4;

void DottedText(char* field, std::size_t fieldSize, const uint8_t* value) {
    std::snprintf(field, fieldSize, "%u.%u.%u.%u", value[0], value[1], value[2], value[3]);
}

void ApplyOption(uint8_t type, const uint8_t* value, std::size_t length, CameraRecord& record) {
    switch (type) {
    case kOptionIpAddr:
        if (length < 4) return;
        std::memcpy(&record.ipAddr, value, 4);
        DottedText(record.ipAddrText, sizeof record.ipAddrText, value);
        return;
    case kOptionSubnet:
        if (length < 4) return;
        DottedText(record.subnetText, sizeof record.subnetText, value);
        return;
    case kOptionGateway:
        if (length < 4) return;
        DottedText(record.gatewayText, sizeof record.gatewayText, value);
        return;
    case kOptionName: CopyTextField(record.name, sizeof record.name, value, length); return;
    case kOptionProductCode: record.productCode = ReadProductCode(value, length); return;
    case kOptionProductName: CopyTextField(record.productName, sizeof record.productName, value, length); return;
    case kOptionDhcp:
        if (length < 1) return;
        record.dhcp = value[0];
        return;
    case kOptionHttpPort:
        if (length < 2) return;
        record.httpPort = (value[0] << 8) | value[1];
        return;
    default: return;  // types this program does not use
    }
}

}  // namespace

DiscoveryRequest MakeDiscoveryRequest(uint8_t rangeLow, uint8_t rangeHigh) {
    DiscoveryRequest request{};
    request[0] = kDiscoveryPacketId;
    request[1] = kCodeDiscoveryRequest;
    request[4] = rangeLow;
    request[5] = rangeHigh;
    return request;
}

int32_t ReadProductCode(const unsigned char* value, std::size_t length) {
    char text[kReplyBytes + 1];
    CopyTextField(text, sizeof text, value, length);
    errno = 0;
    long code = std::strtol(text, nullptr, 16);
    // Cameras were read with a 32-bit long: out-of-range texts saturate.
    if (code > INT32_MAX) return INT32_MAX;
    if (code < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(code);
}

bool ReadReply(const uint8_t* data, std::size_t length, CameraRecord& record) {
    if (length < kFixedPart) return false;
    std::memset(&record, 0, sizeof record);
    record.httpPort = 80;
    std::memcpy(record.hwAddr, data + kHwAddrAt, 6);
    std::memcpy(record.nonce, data + kNonceAt, 16);
    const uint8_t* hw = record.hwAddr;
    std::snprintf(record.hwAddrText, sizeof record.hwAddrText, "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x", hw[0], hw[1],
                  hw[2], hw[3], hw[4], hw[5]);

    std::size_t at = kFixedPart;
    while (length - at >= kOptionHeader) {
        const uint8_t type = data[at];
        if (type == kOptionEnd) break;
        const std::size_t valueLength = (std::size_t{data[at + 2]} << 8) | data[at + 3];
        if (length - at - kOptionHeader < valueLength) break;  // value runs past the datagram
        ApplyOption(type, data + at + kOptionHeader, valueLength, record);
        at += kOptionHeader + valueLength;
    }
    return true;
}

bool HasMakerOui(const unsigned char hwAddr[6]) { return std::memcmp(hwAddr, kMakerOui, 3) == 0; }

bool HoldReply(Reply& slot, std::size_t length, const sockaddr_in& from, int8_t pass) {
    if (length < kFixedPart) return false;
    slot.length = length;
    slot.from = from;
    slot.duplicate = false;
    slot.conflict = false;
    slot.pass = pass;
    return true;
}

namespace {

bool IsCameraReply(const Reply& reply) { return reply.length >= kFixedPart && HasMakerOui(reply.bytes + kHwAddrAt); }

// One camera's reply again: the same sender, and the same challenge unless
// the two answer different requests (cameras may draw a new one each time).
bool Repeats(const Reply& later, const Reply& earlier) {
    if (later.from.sin_addr.s_addr != earlier.from.sin_addr.s_addr) return false;
    return later.pass != earlier.pass || later.pass < 0 ||
           std::memcmp(later.bytes + kNonceAt, earlier.bytes + kNonceAt, 16) == 0;
}

// The earlier camera replies with the hardware address of replies[index]:
// from `byHw`, or by a look at every reply before it.
std::vector<int> SameAddress(const Reply* replies, int index, const HwIndex* byHw) {
    std::vector<int> same;
    if (byHw) {
        const auto found = byHw->find(HwKey(replies[index]));
        if (found != byHw->end())
            for (const int i : found->second)
                if (i < index) same.push_back(i);
        return same;
    }
    for (int i = 0; i < index; ++i)
        if (IsCameraReply(replies[i]) &&
            std::memcmp(replies[i].bytes + kHwAddrAt, replies[index].bytes + kHwAddrAt, 6) == 0)
            same.push_back(i);
    return same;
}

// How replies[index] stands against the unmarked camera replies before it
// that share its address (`earlier`): -1 a repeat, 0 a new camera, 1 a
// second device with a held address (both then marked).
int Judge(Reply* replies, int index, const std::vector<int>& earlier) {
    Reply& reply = replies[index];
    int same = 0;
    for (const int i : earlier) {
        if (replies[i].duplicate || !IsCameraReply(replies[i])) continue;
        if (Repeats(reply, replies[i])) return -1;
        ++same;
    }
    if (same == 0) return 0;
    if (same > 1) return -1;  // both devices are listed already
    for (const int i : earlier)
        if (!replies[i].duplicate && IsCameraReply(replies[i])) replies[i].conflict = true;
    reply.conflict = true;
    return 1;
}

void TraceHw(const char* format, int index, const uint8_t* d) {
    DebugTrace(format, index, d[0], d[1], d[2], d[3], d[4], d[5]);
}

}  // namespace

uint64_t HwKey(const Reply& reply) {
    uint64_t key = 0;
    for (std::size_t i = 0; i < 6; ++i) key = (key << 8) | reply.bytes[kHwAddrAt + i];
    return key;
}

void MarkDuplicates(Reply* replies, int count) {
    HwIndex byHw;  // the unmarked camera replies so far
    for (int j = 0; j < count; ++j) {
        if (replies[j].duplicate || !IsCameraReply(replies[j])) continue;
        if (Judge(replies, j, SameAddress(replies, j, &byHw)) >= 0) {
            byHw[HwKey(replies[j])].push_back(j);
            continue;
        }
        replies[j].duplicate = true;
        TraceHw("entry %d/%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x is a duplicate", j, replies[j].bytes + kHwAddrAt);
    }
}

bool AcceptReply(Reply* replies, int index, int arrival, CameraRecord& record, const HwIndex* byHw) {
    Reply& reply = replies[index];
    if (!IsCameraReply(reply)) return false;  // junk and other makers' devices: silently
    const int verdict = Judge(replies, index, SameAddress(replies, index, byHw));
    if (verdict < 0) {
        TraceHw("entry %d/%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x is a duplicate", arrival, reply.bytes + kHwAddrAt);
        return false;
    }
    if (verdict > 0)
        TraceHw("entry %d/%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x is a second device with that address", arrival,
                reply.bytes + kHwAddrAt);
    if (!ReadReply(reply.bytes, reply.length, record)) return false;
    record.foundByDrovik = 1;
    record.conflict = reply.conflict ? 1 : 0;
    record.answeredFrom = reply.from.sin_addr;  // the assignment takes the camera's answer from there
    FormWebAddr(record);
    return true;
}

int BuildRecords(const Reply* replies, int count, CameraRecord* out) {
    int written = 0;
    for (int i = 0; i < count; ++i) {
        if (replies[i].duplicate) continue;
        CameraRecord record;
        if (!ReadReply(replies[i].bytes, replies[i].length, record)) continue;
        if (!HasMakerOui(record.hwAddr)) continue;  // another maker's device: dropped silently
        record.foundByDrovik = 1;
        record.conflict = replies[i].conflict ? 1 : 0;
        record.answeredFrom = replies[i].from.sin_addr;
        FormWebAddr(record);
        out[written++] = record;
    }
    return written;
}

}  // namespace drovik
