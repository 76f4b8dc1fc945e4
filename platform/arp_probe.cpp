#include "arp_probe.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "address_probe_wire.h"
#include "deadline_wait.h"
#include "links.h"
#include "owned_fd.h"

namespace platform {
namespace {

using Clock = WaitClock;
constexpr std::chrono::milliseconds kArpWait{1000};
constexpr int kArpRounds = 3;  // at 0, 1/3 and 2/3 of the wait: a lost frame gets two more chances

bool UsesArp(const Link& link) {
    return (link.flags & IFF_UP) && !(link.flags & (IFF_LOOPBACK | IFF_NOARP)) && link.hardwareType == ARPHRD_ETHER &&
           link.hwAddrLength == 6;
}

void SendRound(int fd, const std::vector<Link>& links, in_addr address) {
    for (const Link& link : links) {
        const ArpPacket request = MakeArpProbe(link.hwAddr, address);
        sockaddr_ll to{};
        to.sll_family = AF_PACKET;
        to.sll_protocol = htons(ETH_P_ARP);
        to.sll_ifindex = static_cast<int>(link.index);
        to.sll_halen = 6;
        std::memset(to.sll_addr, 0xFF, 6);
        // A link without carrier, or gone since it was listed, fails on its own; the others still go.
        (void)sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
}

enum class Read { Answered, Drained, Failed };

// Reads every queued frame: the socket hears all ARP on every link.
Read ReadQueued(int fd, in_addr address, uint8_t hwAddr[6]) {
    for (;;) {
        uint8_t packet[1600];
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            recvfrom(fd, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? Read::Drained : Read::Failed;
        }
        if (from.sll_pkttype == PACKET_OUTGOING) continue;  // this PC's own frames
        if (ReadArpReply(packet, static_cast<size_t>(n), address, hwAddr)) return Read::Answered;
    }
}

ProbeAnswer ProbeOnEveryLink(int fd, in_addr address) {
    ProbeAnswer answer;
    answer.method = ProbeMethod::ArpOnEveryLink;
    std::vector<Link> links = ListLinks();
    std::erase_if(links, [](const Link& link) { return !UsesArp(link); });
    if (links.empty()) return answer;

    const Clock::time_point start = Clock::now();
    int rounds = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (rounds < kArpRounds && now >= start + rounds * kArpWait / kArpRounds) {
            SendRound(fd, links, address);
            ++rounds;
            continue;
        }
        const Clock::time_point until = rounds < kArpRounds ? start + rounds * kArpWait / kArpRounds : start + kArpWait;
        if (now >= until) return answer;  // the wait after the last round is over
        const Waited waited = WaitReadable(fd, until);
        if (waited == Waited::Failed) return answer;
        if (waited == Waited::TimedOut) continue;
        switch (ReadQueued(fd, address, answer.hwAddr)) {
        case Read::Answered: answer.answered = true; return answer;
        case Read::Failed: return answer;
        case Read::Drained: break;
        }
    }
}

}  // namespace

int ArpProbe(in_addr address, ProbeAnswer& answer) {
    OwnedFd fd(socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    if (fd.get() < 0) return errno;
    answer = ProbeOnEveryLink(fd.get(), address);
    return 0;
}

}  // namespace platform
