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
    const int added = mdns::ReadAnswer(data, size, iface, out, 4, linkLocal);
    // The collection keeps exactly the datagrams the reader makes cameras of.
    if ((added > 0) != mdns::DescribesCamera(data, size)) __builtin_trap();
    return 0;
}
