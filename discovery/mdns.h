#pragma once
// Multicast DNS discovery: one PTR query for _http._tcp.local out of every
// suitable interface; the maker's cameras that answer become records.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "camera_record.h"
#include "mdns_wire.h"
#include "record_sink.h"
#include "deadline_wait.h"
#include "ipv4_interfaces.h"
#include "owned_fd.h"

class CMdns {
public:
    static constexpr int kMaxInterfaces = 20;

    CMdns();  // checks for the DNS-SD library
    ~CMdns();
    CMdns(const CMdns&) = delete;
    CMdns& operator=(const CMdns&) = delete;

    // Appends at most `room` records from `records` on; returns their number.
    // Every suitable interface is queried at once; the records go interface
    // by interface, each interface's in the order its answers arrived.
    // `accepted` is told of each record as its answer comes in. `notListed`
    // gains one for each camera that answered and found no room.
    int Discover(CameraRecord* records, int room, const RecordSink& accepted = {}, int* notListed = nullptr);

    // The HTTP assignment of a camera found here: one set.oid request through
    // a host route to it; kAssignSuccess or kAssignFailure (AssignResult).
    // Defined in config/.
    uint8_t Assign(const CameraRecord& record, const char* ipText, const char* subnetText, const char* gatewayText,
                   uint8_t dhcp, uint8_t reboot);

    void* dnssdLib = nullptr;
    platform::Ipv4Interface ifaceList[kMaxInterfaces];
    int ifaceCount = 0;
    uint8_t linkLocal[kMaxInterfaces] = {};

private:
    // One interface's collection: it ends 0.5 s after the query or the last
    // camera's first answer, 3 s after the query at the latest.
    struct Gathering {
        int iface = 0;         // in ifaceList
        platform::OwnedFd fd;  // not open: ended, or never started
        platform::WaitClock::time_point quiet, bound;
    };

    void ListInterfaces();
    // Opens the interface's socket and sends its query.
    void DoMdns(Gathering& gathering);
    // Hears every open gathering at once until each has ended; takes camera
    // answers into `slots` in arrival order and returns how many. Each
    // datagram's records are read once into `parsed`; the first `room` of
    // the senders' first answers are told to `accepted` on the way.
    int Collect(Gathering* gatherings, int count, MdnsReply* slots, std::vector<CameraRecord>& parsed, int room,
                const RecordSink& accepted);
};
