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

// One probe for each address not answered yet, out of every link.
void SendRound(int fd, const std::vector<Link>& links, const std::vector<in_addr>& addresses,
               const std::vector<ProbeAnswer>& answers) {
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (answers[i].answered) continue;
        for (const Link& link : links) {
            const ArpPacket request = MakeArpProbe(link.hwAddr, addresses[i]);
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
}

enum class Read { Drained, Failed };

// Reads every queued frame (the socket hears all ARP on every link); an
// address's first reply is its answer. `left` counts the addresses unanswered.
Read ReadQueued(int fd, const std::vector<in_addr>& addresses, std::vector<ProbeAnswer>& answers, std::size_t& left) {
    while (left > 0) {
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
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (answers[i].answered) continue;
            if (ReadArpReply(packet, static_cast<size_t>(n), addresses[i], answers[i].hwAddr)) {
                answers[i].answered = true;  // and any repeat of the address further on
                --left;
            }
        }
    }
    return Read::Drained;
}

std::vector<ProbeAnswer> ProbeOnEveryLink(int fd, const std::vector<in_addr>& addresses) {
    std::vector<ProbeAnswer> answers(addresses.size());
    for (ProbeAnswer& answer : answers) answer.method = ProbeMethod::ArpOnEveryLink;
    std::vector<Link> links = ListLinks();
    std::erase_if(links, [](const Link& link) { return !UsesArp(link); });
    if (links.empty()) return answers;

    std::size_t left = addresses.size();
    const Clock::time_point start = Clock::now();
    int rounds = 0;
    while (left > 0) {
        const Clock::time_point now = Clock::now();
        if (rounds < kArpRounds && now >= start + rounds * kArpWait / kArpRounds) {
            SendRound(fd, links, addresses, answers);
            ++rounds;
            continue;
        }
        const Clock::time_point until = rounds < kArpRounds ? start + rounds * kArpWait / kArpRounds : start + kArpWait;
        if (now >= until) break;  // the wait after the last round is over
        const Waited waited = WaitReadable(fd, until);
        if (waited == Waited::Failed) break;
        if (waited == Waited::TimedOut) continue;
        if (ReadQueued(fd, addresses, answers, left) == Read::Failed) break;
    }
    return answers;
}

}  // namespace

int ArpProbe(const std::vector<in_addr>& addresses, std::vector<ProbeAnswer>& answers) {
    OwnedFd fd(socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    if (fd.get() < 0) return errno;
    answers = ProbeOnEveryLink(fd.get(), addresses);
    return 0;
}

}  // namespace platform
