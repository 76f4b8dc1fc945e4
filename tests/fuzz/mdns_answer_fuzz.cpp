// libFuzzer harness for the multicast DNS answer reader: one input is one datagram.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "discovery/mdns_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size > mdns::kSlotBytes) size = mdns::kSlotBytes;
    static CameraRecord out[4];
    sockaddr_in iface{};
    bool linkLocal = false;
    mdns::ReadAnswer(data, size, iface, out, 4, linkLocal);
    return 0;
}
