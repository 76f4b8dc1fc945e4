#include "mdns.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "debug_trace.h"
#include "mdns_wire.h"
#include "dnssd_library.h"
#include "routes.h"

namespace {

using Clock = platform::WaitClock;
using std::chrono::milliseconds;

constexpr int kQuietMs = 500;              // an interface's collection ends after this long without a datagram
constexpr milliseconds kIfaceBound{3000};  // and this long after its query at the latest
constexpr int kReceiveBuffer = 750000;

const char* Dotted(in_addr address, char (&text)[INET_ADDRSTRLEN]) {
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

bool SetInt(int fd, int level, int option, int value) {
    return setsockopt(fd, level, option, &value, sizeof value) == 0;
}

// Opens the socket that queries one link and hears its multicast DNS traffic.
platform::OwnedFd OpenInterfaceSocket(const platform::Ipv4Interface& iface) {
    platform::OwnedFd owned(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    const int fd = owned.get();
    if (fd < 0) return owned;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(mdns::kPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    ip_mreqn membership{};
    membership.imr_multiaddr.s_addr = htonl(mdns::kGroup);
    membership.imr_address = iface.address;
    membership.imr_ifindex = static_cast<int>(iface.index);
    // Bound to any address: a socket bound to the interface's own address hears
    // no multicast. SO_REUSEADDR lets it sit beside a resolver holding 5353.
    bool ok = SetInt(fd, SOL_SOCKET, SO_REUSEADDR, 1) && bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 &&
              SetInt(fd, IPPROTO_IP, IP_MULTICAST_ALL, 0) &&
              setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0 &&
              setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &membership, sizeof membership) == 0 &&
              SetInt(fd, IPPROTO_IP, IP_PKTINFO, 1);
    if (!ok) return {};
    // Room for the burst of answers one query draws; the forced size needs
    // CAP_NET_ADMIN, the plain one is capped by net.core.rmem_max.
    if (!SetInt(fd, SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBuffer)) SetInt(fd, SOL_SOCKET, SO_RCVBUF, kReceiveBuffer);
    return owned;
}

enum class Received { Datagram, Truncated, OtherLink, Nothing };

// Takes one datagram waiting on `fd` into `slot`, without blocking.
Received ReceiveOne(int fd, unsigned linkIndex, MdnsReply& slot) {
    iovec data{slot.data, sizeof slot.data};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &slot.source;
    message.msg_namelen = sizeof slot.source;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &message, MSG_DONTWAIT);
    if (n < 0) return Received::Nothing;
    slot.length = static_cast<int>(n);
    if (message.msg_flags & MSG_TRUNC) return Received::Truncated;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        if (static_cast<unsigned>(info.ipi_ifindex) != linkIndex) return Received::OtherLink;
    }
    return Received::Datagram;
}

}  // namespace

CMdns::CMdns() {
    dnssdLib = platform::LoadDnssdLibrary();
    if (!dnssdLib) DebugTrace("mdns not present");
}

CMdns::~CMdns() { platform::ReleaseDnssdLibrary(dnssdLib); }

void CMdns::ListInterfaces() {
    platform::Ipv4Interface fresh[kMaxInterfaces];
    const int n = platform::ListIpv4Interfaces(fresh, kMaxInterfaces);
    if (n < 0) return;  // keep the previous list
    std::copy(fresh, fresh + n, ifaceList);
    ifaceCount = n;
    DebugTrace("iface list:\n");
    for (int i = 0; i < ifaceCount; ++i) {
        char text[INET_ADDRSTRLEN];
        DebugTrace("   iface %d addr = %s\n", i, Dotted(ifaceList[i].address, text));
    }
}

int CMdns::Discover(CameraRecord* records, int room, const RecordSink& accepted, int* notListed) {
    ListInterfaces();
    DebugTrace("Trying %d ifaces", ifaceCount);
    // The list may have changed since the last scan: an entry that is not
    // gathered on now (an alias, say) must not keep a flag from another link.
    std::fill(std::begin(linkLocal), std::end(linkLocal), 0);

    // Every suitable interface is queried at once and heard in one wait.
    Gathering gatherings[kMaxInterfaces];
    int count = 0;
    unsigned queried[kMaxInterfaces];
    for (int i = 0; i < ifaceCount; ++i) {
        const platform::Ipv4Interface& iface = ifaceList[i];
        const unsigned mask = IFF_UP | IFF_LOOPBACK | IFF_POINTOPOINT | IFF_MULTICAST;
        if ((iface.flags & mask) != (IFF_UP | IFF_MULTICAST)) continue;
        // An alias address is the same link: it was queried from its first address.
        if (std::find(queried, queried + count, iface.index) != queried + count) continue;
        queried[count] = iface.index;
        char text[INET_ADDRSTRLEN];
        DebugTrace("Gathering on iface %s", Dotted(iface.address, text));
        gatherings[count].iface = i;
        DoMdns(gatherings[count++]);
    }

    // Slots fill in arrival order; the table takes them interface by
    // interface, each interface's in arrival order.
    // Not zeroed: only the slots a site fills are ever touched.
    auto arrived = std::make_unique_for_overwrite<MdnsReply[]>(mdns::kMaxReplies);
    std::vector<CameraRecord> parsed;
    const int total = Collect(gatherings, count, arrived.get(), parsed, room, accepted);
    auto slots = std::make_unique_for_overwrite<MdnsReply[]>(mdns::kMaxReplies);
    int placed = 0;
    for (int g = 0; g < count; ++g) {
        for (int k = 0; k < total; ++k)
            if (arrived[k].iface == gatherings[g].iface) slots[placed++] = arrived[k];
        DebugTrace("num_replies to %d", placed);
    }
    DebugTrace("Got %d mdns replies", total);

    // One datagram per sender: the earliest, on whichever interface.
    mdns::MarkDuplicateSenders(slots.get(), total);

    int added = 0;
    for (int i = 0; i < total; ++i) {
        if (slots[i].duplicate) continue;
        const int n = std::min(slots[i].found, room - added);
        // Every slot holds a camera's answer: what finds no room is counted.
        if (notListed) *notListed += slots[i].found - n;
        std::copy_n(parsed.begin() + slots[i].first, n, records + added);
        for (CameraRecord* r = records + added; r < records + added + n; ++r) {
            if (std::strncmp(r->ipAddrText, "169.254", 7) != 0) continue;
            // Only a camera that answered from its own link-local address brings the route.
            if (AnsweredFromOwnAddress(*r)) {
                linkLocal[slots[i].iface] = 1;
            } else {
                char from[INET_ADDRSTRLEN];
                DebugTrace("Mdns: %s answered from %s: no route for it", r->ipAddrText, Dotted(r->answeredFrom, from));
            }
        }
        added += n;
    }

    if (!dnssdLib) {
        for (int i = 0; i < ifaceCount; ++i) {
            if (!linkLocal[i]) continue;
            char text[INET_ADDRSTRLEN];
            const platform::RouteOutcome result = platform::AddLinkLocalRoute(ifaceList[i].index, ifaceList[i].address);
            DebugTrace("route 169.254.0.0/16 through iface %s: %s", Dotted(ifaceList[i].address, text),
                       platform::DescribeRouteOutcome(result).c_str());
        }
    }
    return added;
}

void CMdns::DoMdns(Gathering& gathering) {
    const platform::Ipv4Interface& iface = ifaceList[gathering.iface];
    char text[INET_ADDRSTRLEN];
    DebugTrace("DoMdns on iface %s", Dotted(iface.address, text));
    platform::OwnedFd fd = OpenInterfaceSocket(iface);
    if (!fd.valid()) {
        DebugTrace("Mdns: socket on iface %s failed: %s", text, std::strerror(errno));
        return;
    }
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(mdns::kPort);
    group.sin_addr.s_addr = htonl(mdns::kGroup);
    const mdns::Query query = mdns::MakeQuery();
    if (sendto(fd.get(), query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group) !=
        static_cast<ssize_t>(query.size())) {
        DebugTrace("Mdns: query on iface %s failed: %s", text, std::strerror(errno));
        return;
    }
    DebugTrace("starting recv");
    gathering.fd = std::move(fd);
    gathering.bound = Clock::now() + kIfaceBound;
    gathering.quiet = Clock::now() + milliseconds(kQuietMs);
}

int CMdns::Collect(Gathering* gatherings, int count, MdnsReply* slots, std::vector<CameraRecord>& parsed, int room,
                   const RecordSink& accepted) {
    int taken = 0;
    int streamed = 0;
    std::unordered_set<uint32_t> senders;  // of the slots taken: a look-up, not a walk over them
    pollfd waiting[kMaxInterfaces];
    for (;;) {
        // Each interface's collection ends at its own quiet time or bound.
        const auto now = Clock::now();
        int open = 0;
        Clock::time_point next = Clock::time_point::max();
        for (int g = 0; g < count; ++g) {
            Gathering& gathering = gatherings[g];
            if (!gathering.fd.valid()) continue;
            const auto until = std::min(gathering.quiet, gathering.bound);
            if (until <= now || taken == mdns::kMaxReplies) {
                char text[INET_ADDRSTRLEN];
                if (until == gathering.bound && taken < mdns::kMaxReplies)
                    DebugTrace("Mdns: collection on iface %s ended by its 3 s bound",
                               Dotted(ifaceList[gathering.iface].address, text));
                gathering.fd.reset();
                continue;
            }
            next = std::min(next, until);
            waiting[open++] = {gathering.fd.get(), POLLIN, 0};
        }
        if (open == 0) return taken;
        const platform::Waited waited = platform::WaitAny(waiting, static_cast<nfds_t>(open), next);
        if (waited == platform::Waited::Failed) return taken;
        if (waited == platform::Waited::TimedOut) continue;

        for (int w = 0; w < open && taken < mdns::kMaxReplies; ++w) {
            if (!(waiting[w].revents & POLLIN)) continue;
            Gathering& gathering = *std::find_if(gatherings, gatherings + count,
                                                 [fd = waiting[w].fd](const Gathering& g) { return g.fd.get() == fd; });
            const platform::Ipv4Interface& iface = ifaceList[gathering.iface];
            MdnsReply& reply = slots[taken];
            const Received got = ReceiveOne(gathering.fd.get(), iface.index, reply);
            if (got == Received::Nothing) continue;
            char from[INET_ADDRSTRLEN];
            DebugTrace("rcv'd %d, error = %d, idx = %d, ip = %s", reply.length, 0, taken,
                       Dotted(reply.source.sin_addr, from));
            if (got == Received::OtherLink) continue;
            if (got == Received::Truncated) {
                DebugTrace("Mdns: datagram over %zu bytes from %s dropped", sizeof reply.data, from);
                continue;
            }
            // Each datagram is read once, here.
            sockaddr_in ifaceAddr{};
            ifaceAddr.sin_family = AF_INET;
            ifaceAddr.sin_addr = iface.address;
            reply.first = static_cast<int>(parsed.size());
            parsed.resize(parsed.size() + mdns::kMaxCamerasPerDatagram);
            bool sawLinkLocal = false, describesCamera = false;
            reply.found = mdns::ReadAnswer(reply.data, static_cast<std::size_t>(reply.length), ifaceAddr,
                                           parsed.data() + reply.first, mdns::kMaxCamerasPerDatagram, sawLinkLocal,
                                           &describesCamera);
            parsed.resize(static_cast<std::size_t>(reply.first + reply.found));
            for (int r = 0; r < reply.found; ++r) parsed[reply.first + r].answeredFrom = reply.source.sin_addr;
            // Queries and other devices' answers would only take slots (and, as a
            // sender's first datagram, hide its later ones); nor do they keep the
            // collection open: a chattering LAN ends it no later than a silent one.
            if (!describesCamera) {
                DebugTrace("Mdns: datagram from %s names no camera: no slot", from);
                continue;
            }
            reply.iface = gathering.iface;
            reply.duplicate = 0;
            const bool firstFromSender = senders.insert(reply.source.sin_addr.s_addr).second;
            ++taken;
            if (!firstFromSender) continue;  // a repeat: kept for the record, no news
            gathering.quiet = Clock::now() + milliseconds(kQuietMs);
            if (accepted && streamed < room) {
                const int n = std::min(reply.found, room - streamed);
                for (int r = 0; r < n; ++r) accepted(parsed[reply.first + r]);
                streamed += n;
            }
        }
    }
}
