// The broadcast assignment of CDrovik: one request out of every link, at most
// three assignment replies read for the one with the request's packet ID. A
// run of assignments (BroadcastRun) holds the sockets open and flushed; else
// they are opened and flushed for this one.
// Only the camera's replies count: from where its discovery reply came, or
// from the address it is given. Other datagrams on the reply port (junk,
// cameras' discovery replies to another PC, another device's answers) take
// none of the three reads.
#include <arpa/inet.h>

#include <chrono>
#include <optional>
#include <random>

#include "assign_result.h"
#include "debug_trace.h"
#include "drovik.h"
#include "drovik_wire.h"
#include "drovik_assign_wire.h"

namespace {

constexpr std::chrono::milliseconds kReplyWait{10000};  // per read
constexpr int kReads = 3;

// A camera heard from no address (0.0.0.0) may answer from anywhere.
bool FromCamera(const CameraRecord& record, in_addr_t assigned, in_addr sender) {
    return record.answeredFrom.s_addr == INADDR_ANY || sender.s_addr == record.answeredFrom.s_addr ||
           sender.s_addr == assigned;
}

}  // namespace

uint8_t CDrovik::Assign(const CameraRecord& record, const char* ipAddr, const char* subnet, const char* gateway,
                        uint8_t dhcp, uint8_t reboot) {
    const uint8_t packetId = drovik::AssignPacketId(std::random_device{}());
    uint8_t digest[16];
    drovik::AssignDigest(record.nonce, digest);
    uint8_t request[drovik::kAssignRequestBytes];
    const std::size_t length =
        dhcp ? drovik::BuildAssignRequest(packetId, digest, record.hwAddr, reboot == 1, true, 0, 0, 0, request)
             : drovik::BuildAssignRequest(packetId, digest, record.hwAddr, reboot == 1, false, inet_addr(ipAddr),
                                          inet_addr(subnet), inet_addr(gateway), request);
    // A camera that took its new address may answer from it; with DHCP there is none yet.
    const in_addr_t assigned = dhcp ? INADDR_ANY : inet_addr(ipAddr);

    std::optional<Exchange> sockets;
    if (!sendSocket.valid() || !recvSocket.valid()) {
        sockets.emplace(*this);
        if (!sockets->Open()) return kAssignSendError;
        Flush();  // a late reply to an earlier assignment must not answer this one
    }
    if (SendToEveryLink(request, length) == 0) return kAssignSendError;

    uint8_t reply[drovik::kAssignReplyBytes];
    long n = 0;
    uint8_t got = 0;
    for (int read = 1; read <= kReads; ++read) {
        // A passed-over datagram does not extend the read's wait.
        const auto deadline = platform::WaitClock::now() + kReplyWait;
        for (;;) {
            n = ReadDatagram(reply, sizeof reply, deadline);
            if (n < 0) return kAssignReceiveError;
            got = n > 0 ? reply[0] : 0;
            const bool answer = n > 0 && got == packetId;
            const bool stray = drovik::IsAssignReply(reply, static_cast<std::size_t>(n));
            char from[INET_ADDRSTRLEN] = "";
            inet_ntop(AF_INET, &recvAddr.sin_addr, from, sizeof from);
            if (!answer && !stray) {
                DebugTrace("Drovik Assign: datagram from %s is no assignment reply: ignored", from);
            } else if (!FromCamera(record, assigned, recvAddr.sin_addr)) {
                DebugTrace("Drovik Assign: reply from %s, not from the camera: ignored", from);
            } else {
                break;
            }
        }
        if (got == packetId) break;
        DebugTrace("Drovik Assign: expected packet ID %d, got %d: retrying", packetId, got);
    }
    if (got != packetId) {
        DebugTrace("Drovik Assign: expected packet ID %d, got %d", packetId, got);
        return kAssignBadPacketId;
    }
    return drovik::AssignResult(reply, static_cast<std::size_t>(n));
}
