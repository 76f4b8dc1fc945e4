#include "neighbour_probe.h"

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "address_probe_wire.h"
#include "deadline_wait.h"
#include "owned_fd.h"

namespace platform {
namespace {

using Clock = WaitClock;
// The kernel gives up after three ARP requests a second apart (FAILED after about 3.06 s).
constexpr std::chrono::milliseconds kNeighbourWait{3500};
constexpr uint16_t kHoldsHwAddr = NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE;

enum class Verdict { Waiting, Present, Absent };

// What the messages about one address say since the probe's datagram left.
class Watch {
public:
    Watch(in_addr address, Clock::time_point start) : address_(address), start_(start) {}

    Verdict Judge(const NeighbourEntry& entry, ProbeAnswer& answer) {
        if (entry.address.s_addr != address_.s_addr) return Verdict::Waiting;
        // A REACHABLE entry can outlive its device by 30 s or more: only a
        // confirmation since the probe began counts.
        if ((entry.state & NUD_REACHABLE) && entry.hasHwAddr && entry.hasCacheInfo && AgeMs(entry) <= ElapsedMs())
            return Take(entry.hwAddr, answer);
        // Our datagram turned any earlier FAILED into INCOMPLETE before the first
        // dump, so FAILED after an earlier sighting is this probe's own.
        if ((entry.state & NUD_FAILED) && seen_) return Verdict::Absent;
        seen_ = true;
        if ((entry.state & kHoldsHwAddr) && entry.hasHwAddr) {
            held_ = true;
            std::memcpy(heldHwAddr_, entry.hwAddr, 6);
        } else {
            held_ = false;
        }
        return Settled(answer);
    }

    // The device turned our datagram away (ICMP port unreachable): it lives,
    // though a known entry (STALE, DELAY) is not confirmed again for seconds.
    Verdict Refused(ProbeAnswer& answer) {
        refused_ = true;
        return Settled(answer);
    }

private:
    Verdict Settled(ProbeAnswer& answer) const {
        return refused_ && held_ ? Take(heldHwAddr_, answer) : Verdict::Waiting;
    }
    static long long AgeMs(const NeighbourEntry& entry) {
        static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
        return static_cast<long long>(entry.confirmedAgeTicks) * 1000 / (ticksPerSecond > 0 ? ticksPerSecond : 100);
    }
    long long ElapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    }
    static Verdict Take(const uint8_t hwAddr[6], ProbeAnswer& answer) {
        answer.answered = true;
        std::memcpy(answer.hwAddr, hwAddr, 6);
        return Verdict::Present;
    }

    in_addr address_;
    Clock::time_point start_;
    bool seen_ = false;
    bool refused_ = false;
    bool held_ = false;
    uint8_t heldHwAddr_[6] = {};
};

bool RequestDump(int fd) {
    struct {
        nlmsghdr header;
        ndmsg neighbour;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.neighbour.ndm_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel),
                  sizeof kernel) == static_cast<ssize_t>(request.header.nlmsg_len);
}

// Reads one datagram of dump answers or notifications. `dumpEnded` is set at
// the dump's last message.
Verdict ReadTable(int fd, Watch& watch, ProbeAnswer& answer, bool& dumpEnded, bool& overflowed) {
    alignas(nlmsghdr) uint8_t buffer[32768];  // the kernel fills a dump datagram up to the reader's buffer
    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) {
        // Notifications were lost: a new dump shows the table as it is now.
        if (errno == ENOBUFS) overflowed = true;
        return errno == EAGAIN || errno == EINTR || errno == ENOBUFS ? Verdict::Waiting : Verdict::Absent;
    }
    int left = static_cast<int>(n);
    for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, left);
         message = NLMSG_NEXT(message, left)) {
        if (message->nlmsg_type == NLMSG_DONE || message->nlmsg_type == NLMSG_ERROR) {
            dumpEnded = true;
            continue;
        }
        NeighbourEntry entry;
        if (!ReadNeighbour(reinterpret_cast<const uint8_t*>(message), message->nlmsg_len, entry)) continue;
        const Verdict verdict = watch.Judge(entry, answer);
        if (verdict != Verdict::Waiting) return verdict;
    }
    return Verdict::Waiting;
}

// The datagram's fate as the kernel reports it on the socket.
Verdict ReadSocketError(int fd, Watch& watch, ProbeAnswer& answer, bool& wantDump) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Verdict::Absent;
    uint8_t discard;
    while (recv(fd, &discard, sizeof discard, MSG_DONTWAIT) >= 0) {
    }
    if (error == ECONNREFUSED) {
        wantDump = true;  // the entry as it stands now
        return watch.Refused(answer);
    }
    // EHOSTUNREACH: the kernel's own report that resolution failed.
    return error == 0 || error == EAGAIN ? Verdict::Waiting : Verdict::Absent;
}

}  // namespace

ProbeAnswer ProbeByKernelNeighbour(in_addr address) {
    ProbeAnswer answer;
    answer.method = ProbeMethod::KernelNeighbour;

    // Listen to the table's changes before anything can change it.
    OwnedFd table(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (table.get() < 0) return answer;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_NEIGH;
    if (bind(table.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return answer;

    // connect alone resolves nothing; an empty datagram to the discard port makes the kernel ask.
    OwnedFd datagram(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (datagram.get() < 0) return answer;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr = address;
    const Clock::time_point start = Clock::now();
    if (connect(datagram.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) return answer;
    if (send(datagram.get(), "", 0, 0) < 0) return answer;  // e.g. ENETUNREACH: no link leads there

    Watch watch(address, start);
    bool dumping = RequestDump(table.get());
    if (!dumping) return answer;
    bool wantDump = false;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= start + kNeighbourWait) return answer;
        if (wantDump && !dumping) {
            if (!RequestDump(table.get())) return answer;
            dumping = true;
            wantDump = false;
        }
        pollfd waiting[2] = {{table.get(), POLLIN, 0}, {datagram.get(), POLLIN, 0}};
        const Waited waited = WaitAny(waiting, 2, start + kNeighbourWait);
        if (waited == Waited::Failed) return answer;
        if (waited == Waited::TimedOut) continue;

        Verdict verdict = Verdict::Waiting;
        if (waiting[1].revents) verdict = ReadSocketError(datagram.get(), watch, answer, wantDump);
        if (verdict == Verdict::Waiting && waiting[0].revents) {
            bool dumpEnded = false;
            verdict = ReadTable(table.get(), watch, answer, dumpEnded, wantDump);
            if (dumpEnded) dumping = false;
        }
        if (verdict != Verdict::Waiting) return answer;
    }
}

}  // namespace platform
