#pragma once
// Multicast DNS discovery: one PTR query for _http._tcp.local out of every
// suitable interface; the maker's cameras that answer become records.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "camera_record.h"
#include "mdns_wire.h"
#include "platform/ipv4_interfaces.h"

class CMdns {
public:
    static constexpr int kMaxInterfaces = 20;

    CMdns();  // checks for the DNS-SD library
    ~CMdns();
    CMdns(const CMdns&) = delete;
    CMdns& operator=(const CMdns&) = delete;

    // Appends at most `room` records from `records` on; returns their number.
    int Discover(CameraRecord* records, int room);

    // The HTTP assignment of a camera found here: one set.oid request through
    // a host route to it; 0 Success or 3 Assignment Failure. Defined with the
    // rest of the assignment code, in config/.
    uint8_t Assign(const CameraRecord& record, const char* ipText, const char* subnetText, const char* gatewayText,
                   uint8_t dhcp, uint8_t reboot);

    void* dnssdLib = nullptr;
    platform::Ipv4Interface ifaceList[kMaxInterfaces];
    int ifaceCount = 0;
    uint8_t linkLocal[kMaxInterfaces] = {};
    int curIface = 0;
    sockaddr_in curIfaceAddr{};

private:
    void ListInterfaces();
    // Queries one interface and takes its datagrams in from slot `firstFree` on;
    // returns how many it took.
    int DoMdns(MdnsReply* slots, int firstFree);
};
