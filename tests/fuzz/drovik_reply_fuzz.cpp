// Fuzz target of the discovery reply reader: one input is one datagram,
// collected twice (the second copy is the first one's duplicate).
#include <cstdio>
#include <string>

#include "drovik_wire.h"
#include "fuzz_target.h"

int DrovikReplyTarget(const uint8_t* data, std::size_t size) {
    const std::size_t length = size < drovik::kReplyBytes ? size : drovik::kReplyBytes;
    static drovik::Reply replies[2];
    for (drovik::Reply& reply : replies) {
        reply.length = length;
        reply.duplicate = false;
        std::memcpy(reply.bytes, data, length);
    }
    drovik::MarkDuplicates(replies, 2);
    CameraRecord out[2];
    const int n = drovik::BuildRecords(replies, 2, out);
    FUZZ_CHECK(n == (length >= drovik::kFixedPart && drovik::HasMakerOui(data + 6) ? 1 : 0));
    if (n != 1) return 0;

    const CameraRecord& r = out[0];
    CheckRecord(r);
    FUZZ_CHECK(r.foundByDrovik == 1 && std::memcmp(r.hwAddr, data + 6, 6) == 0 &&
               std::memcmp(r.nonce, data + 12, 16) == 0);
    char hw[18];
    std::snprintf(hw, sizeof hw, "%02x:%02x:%02x:%02x:%02x:%02x", data[6], data[7], data[8], data[9], data[10],
                  data[11]);
    FUZZ_CHECK(std::strcmp(r.hwAddrText, hw) == 0);
    FUZZ_CHECK(r.httpPort >= 0 && r.httpPort <= 65535 && std::to_string(r.httpPort) == r.httpPortText);
    // The reader on the datagram's own bytes (libFuzzer's buffer ends with it) agrees with the collection.
    CameraRecord direct;
    FUZZ_CHECK(drovik::ReadReply(data, length, direct) && std::strcmp(direct.name, r.name) == 0 &&
               std::strcmp(direct.ipAddrText, r.ipAddrText) == 0 && direct.httpPort == r.httpPort);
    return 1;
}
