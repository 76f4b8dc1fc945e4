// libFuzzer harness for the discovery reply reader: one input is one datagram.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "discovery/drovik_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static drovik::Reply replies[2];
    const std::size_t length = size < drovik::kReplyBytes ? size : drovik::kReplyBytes;
    for (drovik::Reply& reply : replies) {
        reply.length = length;
        reply.duplicate = false;
        std::memcpy(reply.bytes, data, length);
    }
    CameraRecord out[2];
    drovik::MarkDuplicates(replies, 2);
    drovik::BuildRecords(replies, 2, out);
    return 0;
}
