// Fuzz target of the multicast DNS answer reader: one input is one datagram.
#include <arpa/inet.h>

#include <string>

#include "mdns_wire.h"
#include "fuzz_target.h"

int MdnsAnswerTarget(const uint8_t* data, std::size_t size) {
    if (size > mdns::kSlotBytes) size = mdns::kSlotBytes;  // the collection takes no larger datagram
    static CameraRecord out[4];
    sockaddr_in iface{};
    iface.sin_family = AF_INET;
    iface.sin_addr.s_addr = htonl(0x0A010264);  // 10.1.2.100
    bool linkLocal = false;
    const int added = mdns::ReadAnswer(data, size, iface, out, 4, linkLocal);
    FUZZ_CHECK(added >= 0 && added <= 4);
    // The collection keeps every datagram the reader makes cameras of (and
    // those of cameras that name no address, which it lists not), judged in
    // the same reading, with room for every camera a datagram can hold.
    if (added > 0) FUZZ_CHECK(mdns::DescribesCamera(data, size));
    static CameraRecord all[mdns::kMaxCamerasPerDatagram];
    bool allLinkLocal = false, describes = false;
    const int every = mdns::ReadAnswer(data, size, iface, all, mdns::kMaxCamerasPerDatagram, allLinkLocal, &describes);
    FUZZ_CHECK(describes == mdns::DescribesCamera(data, size) && every >= added && (every == 0 || describes));

    bool anyLinkLocal = false;
    for (int i = 0; i < added; ++i) {
        const CameraRecord& r = out[i];
        CheckRecord(r);
        FUZZ_CHECK(r.foundByDrovik == 0 && r.ifaceAddr.sin_addr.s_addr == iface.sin_addr.s_addr);
        // The address is a dotted one, its texts made from the number: nothing else can become a URL host.
        in_addr address{};
        char dotted[INET_ADDRSTRLEN] = "";
        FUZZ_CHECK(inet_pton(AF_INET, r.ipAddrText, &address) == 1 && address.s_addr == r.ipAddr);
        inet_ntop(AF_INET, &address, dotted, sizeof dotted);
        FUZZ_CHECK(std::strcmp(dotted, r.ipAddrText) == 0);
        FUZZ_CHECK(std::string(r.webAddr) == std::string(dotted) + ":" + r.httpPortText);
        // The port comes from an SRV record or not at all.
        if (r.httpPortText[0])
            FUZZ_CHECK(r.httpPort >= 0 && r.httpPort <= 65535 && std::to_string(r.httpPort) == r.httpPortText);
        else
            FUZZ_CHECK(r.httpPort == 0);
        anyLinkLocal = anyLinkLocal || std::strncmp(r.ipAddrText, "169.254", 7) == 0;
    }
    if (anyLinkLocal) FUZZ_CHECK(linkLocal);

    // With room for one, the same first record and nothing more.
    CameraRecord one[1];
    bool oneLinkLocal = false;
    const int first = mdns::ReadAnswer(data, size, iface, one, 1, oneLinkLocal);
    FUZZ_CHECK(first == (added > 0 ? 1 : 0));
    if (first == 1 && added > 0)
        FUZZ_CHECK(std::strcmp(one[0].name, out[0].name) == 0 && std::strcmp(one[0].webAddr, out[0].webAddr) == 0);

    // The first name after the header: at most 255 characters, ending within the datagram.
    char name[mdns::kNameBuffer];
    std::size_t next = 0;
    if (mdns::ExpandName(data, size, 12, size, name, next))
        FUZZ_CHECK(std::strlen(name) <= 255 && next > 12 && next <= size);
    return added;
}
