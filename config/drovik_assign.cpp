// The broadcast assignment of CDrovik: one request out of every link, at most
// three reads for the reply with the request's packet ID.
#include <arpa/inet.h>

#include <random>

#include "discovery/debug_trace.h"
#include "discovery/drovik.h"
#include "drovik_assign_wire.h"

namespace {

constexpr int kReplyWaitMs = 10000;  // per read
constexpr int kReads = 3;

}  // namespace

uint8_t CDrovik::Assign(const CameraRecord& record, const char* ipAddr, const char* subnet, const char* gateway,
                        uint8_t dhcp, uint8_t reboot) {
    const uint8_t packetId = static_cast<uint8_t>(std::random_device{}());
    uint8_t digest[16];
    drovik::AssignDigest(record.nonce, digest);
    uint8_t request[drovik::kAssignRequestBytes];
    const std::size_t length =
        dhcp ? drovik::BuildAssignRequest(packetId, digest, record.hwAddr, reboot == 1, true, 0, 0, 0, request)
             : drovik::BuildAssignRequest(packetId, digest, record.hwAddr, reboot == 1, false, inet_addr(ipAddr),
                                          inet_addr(subnet), inet_addr(gateway), request);

    const Exchange sockets(*this);
    if (!sockets.Open()) return 5;
    Flush();  // a late reply to an earlier assignment must not answer this one
    if (SendToEveryLink(request, length) == 0) return 5;

    uint8_t reply[drovik::kAssignReplyBytes];
    long n = 0;
    uint8_t got = 0;
    for (int read = 1; read <= kReads; ++read) {
        n = ReadDatagram(reply, sizeof reply, kReplyWaitMs);
        if (n < 0) return 6;
        got = n > 0 ? reply[0] : 0;  // bytes past the datagram count as 0
        if (got == packetId) break;
        DebugTrace("Drovik Assign: expected packet ID %d, got %d: retrying", packetId, got);
    }
    if (got != packetId) {
        DebugTrace("Drovik Assign: expected packet ID %d, got %d", packetId, got);
        return 1;
    }
    return drovik::AssignResult(reply, static_cast<std::size_t>(n));
}
