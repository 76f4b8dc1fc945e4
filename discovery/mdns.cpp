#include "mdns.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "debug_trace.h"
#include "mdns_wire.h"
#include "platform/dnssd_library.h"
#include "platform/routes.h"

namespace {

using Clock = std::chrono::steady_clock;
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

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Opens the socket that queries one link and hears its multicast DNS traffic.
int OpenInterfaceSocket(const platform::Ipv4Interface& iface) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return -1;
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
    bool ok = SetInt(fd, SOL_SOCKET, SO_REUSEADDR, 1) &&
              bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 &&
              SetInt(fd, IPPROTO_IP, IP_MULTICAST_ALL, 0) &&
              setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0 &&
              setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &membership, sizeof membership) == 0 &&
              SetInt(fd, IPPROTO_IP, IP_PKTINFO, 1);
    if (!ok) {
        close(fd);
        return -1;
    }
    // Room for the burst of answers one query draws; the forced size needs
    // CAP_NET_ADMIN, the plain one is capped by net.core.rmem_max.
    if (!SetInt(fd, SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBuffer)) SetInt(fd, SOL_SOCKET, SO_RCVBUF, kReceiveBuffer);
    return fd;
}

enum class Received { Datagram, Truncated, OtherLink, Nothing };

// Waits up to `timeoutMs` for one datagram on `fd`, into `slot`.
Received ReceiveOne(int fd, unsigned linkIndex, MdnsReply& slot, int timeoutMs) {
    pollfd waiting{fd, POLLIN, 0};
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    for (;;) {
        int ready = poll(&waiting, 1, MsLeft(deadline));
        if (ready > 0) break;
        if (ready == 0 || errno != EINTR) return Received::Nothing;
    }
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

int CMdns::Discover(CameraRecord* records, int room) {
    ListInterfaces();
    DebugTrace("Trying %d ifaces", ifaceCount);
    // The list may have changed since the last scan: an entry that is not
    // gathered on now (an alias, say) must not keep a flag from another link.
    std::fill(std::begin(linkLocal), std::end(linkLocal), 0);

    auto slots = std::make_unique<MdnsReply[]>(mdns::kMaxReplies);
    int total = 0;
    unsigned queried[kMaxInterfaces];
    int queriedCount = 0;
    for (int i = 0; i < ifaceCount; ++i) {
        const platform::Ipv4Interface& iface = ifaceList[i];
        const unsigned mask = IFF_UP | IFF_LOOPBACK | IFF_POINTOPOINT | IFF_MULTICAST;
        if ((iface.flags & mask) != (IFF_UP | IFF_MULTICAST)) continue;
        // An alias address is the same link: it was queried from its first address.
        if (std::find(queried, queried + queriedCount, iface.index) != queried + queriedCount) continue;
        queried[queriedCount++] = iface.index;

        char text[INET_ADDRSTRLEN];
        DebugTrace("Gathering on iface %s", Dotted(iface.address, text));
        curIface = i;
        curIfaceAddr = {};
        curIfaceAddr.sin_family = AF_INET;
        curIfaceAddr.sin_addr = iface.address;
        total += DoMdns(slots.get(), total);
        DebugTrace("num_replies to %d", total);
    }
    DebugTrace("Got %d mdns replies", total);

    // One datagram per sender: the earliest, on whichever interface.
    mdns::MarkDuplicateSenders(slots.get(), total);

    int added = 0;
    for (int i = 0; i < total; ++i) {
        if (slots[i].duplicate) continue;
        curIface = slots[i].iface;
        curIfaceAddr = {};
        curIfaceAddr.sin_family = AF_INET;
        curIfaceAddr.sin_addr = ifaceList[curIface].address;
        bool sawLinkLocal = false;
        added += mdns::ReadAnswer(slots[i].data, slots[i].length, curIfaceAddr, records + added, room - added,
                                  sawLinkLocal);
        if (sawLinkLocal) linkLocal[curIface] = 1;
    }

    if (!dnssdLib) {
        for (int i = 0; i < ifaceCount; ++i) {
            if (!linkLocal[i]) continue;
            char text[INET_ADDRSTRLEN];
            const int result = platform::AddLinkLocalRoute(ifaceList[i].index, ifaceList[i].address);
            if (result == 0)
                DebugTrace("route 169.254.0.0/16 through iface %s", Dotted(ifaceList[i].address, text));
            else
                DebugTrace("route 169.254.0.0/16 through iface %s refused: %s", Dotted(ifaceList[i].address, text),
                           std::strerror(result));
        }
    }
    return added;
}

int CMdns::DoMdns(MdnsReply* slots, int firstFree) {
    const platform::Ipv4Interface& iface = ifaceList[curIface];
    char text[INET_ADDRSTRLEN];
    DebugTrace("DoMdns on iface %s", Dotted(iface.address, text));
    const int fd = OpenInterfaceSocket(iface);
    if (fd < 0) {
        DebugTrace("Mdns: socket on iface %s failed: %s", text, std::strerror(errno));
        return 0;
    }
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(mdns::kPort);
    group.sin_addr.s_addr = htonl(mdns::kGroup);
    const mdns::Query query = mdns::MakeQuery();
    timeval timeout{0, kQuietMs * 1000};
    if (sendto(fd, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group) !=
            static_cast<ssize_t>(query.size()) ||
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        DebugTrace("Mdns: query on iface %s failed: %s", text, std::strerror(errno));
        close(fd);
        return 0;
    }

    DebugTrace("starting recv");
    const auto deadline = Clock::now() + kIfaceBound;
    int taken = 0;
    for (int slot = firstFree; slot < mdns::kMaxReplies;) {
        const int left = MsLeft(deadline);
        MdnsReply& reply = slots[slot];
        const Received got =
            left == 0 ? Received::Nothing : ReceiveOne(fd, iface.index, reply, left < kQuietMs ? left : kQuietMs);
        char from[INET_ADDRSTRLEN];
        const int length = got == Received::Nothing ? -1 : reply.length;
        DebugTrace("rcv'd %d, error = %d, idx = %d, ip = %s", length, got == Received::Nothing ? EAGAIN : 0, slot,
                   got == Received::Nothing ? "0.0.0.0" : Dotted(reply.source.sin_addr, from));
        if (got == Received::Nothing) {
            if (left < kQuietMs) DebugTrace("Mdns: collection on iface %s ended by its 3 s bound", text);
            break;
        }
        if (got == Received::OtherLink) continue;
        if (got == Received::Truncated) {
            DebugTrace("Mdns: datagram over %zu bytes from %s dropped", sizeof reply.data, from);
            continue;
        }
        // Queries and other devices' answers would only take slots (and, as a
        // sender's first datagram, hide its later ones).
        if (!mdns::DescribesCamera(reply.data, static_cast<std::size_t>(reply.length))) {
            DebugTrace("Mdns: datagram from %s names no camera: no slot", from);
            continue;
        }
        reply.iface = curIface;
        reply.duplicate = 0;
        ++taken;
        ++slot;
    }
    close(fd);
    return taken;
}
