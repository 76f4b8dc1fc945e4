#include "drovik.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "debug_trace.h"
#include "drovik_wire.h"
#include "links.h"
#include "reply_book.h"

namespace {

using Clock = platform::WaitClock;
using std::chrono::milliseconds;

constexpr int kQuietMs = 500;              // a collection or flush ends after this long without a datagram
constexpr milliseconds kFlushBound{1000};  // a flush ends this long after it began at the latest
constexpr milliseconds kPassBound{3000};   // a pass collects this long after its request at the latest
constexpr int kReceiveBuffer = 750000;

bool SetInt(int fd, int level, int option, int value) {
    return setsockopt(fd, level, option, &value, sizeof value) == 0;
}

sockaddr_in AnyAddress(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    return addr;
}

// Each request quarter of the hardware addresses' last byte.
constexpr uint8_t kRanges[4][2] = {{0, 63}, {64, 127}, {128, 191}, {192, 255}};

}  // namespace

bool CDrovik::Open() {
    Close();
    sendSocket.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    recvSocket.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    bool ok = sendSocket.valid() && recvSocket.valid();

    destAddr = AnyAddress(drovik::kRequestPort);
    ok = ok && SetInt(sendSocket.get(), SOL_SOCKET, SO_REUSEADDR, 1);
    ok = ok && bind(sendSocket.get(), reinterpret_cast<sockaddr*>(&destAddr), sizeof destAddr) == 0;
    destAddr.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ok = ok && SetInt(sendSocket.get(), SOL_SOCKET, SO_BROADCAST, 1);
    setupPort = ok ? drovik::kReplyPort : drovik::kRequestPort;

    recvAddr = AnyAddress(drovik::kReplyPort);
    timeval timeout{0, kQuietMs * 1000};
    ok = ok && setsockopt(recvSocket.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0;
    ok = ok && SetInt(recvSocket.get(), SOL_SOCKET, SO_REUSEADDR, 1);
    if (ok) {
        // The forced size needs CAP_NET_ADMIN; the plain one is capped by net.core.rmem_max.
        if (!SetInt(recvSocket.get(), SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBuffer))
            SetInt(recvSocket.get(), SOL_SOCKET, SO_RCVBUF, kReceiveBuffer);
        int obtained = 0;
        socklen_t size = sizeof obtained;
        getsockopt(recvSocket.get(), SOL_SOCKET, SO_RCVBUF, &obtained, &size);
        DebugTrace("Drovik: receive buffer %d bytes", obtained);
    }
    ok = ok && bind(recvSocket.get(), reinterpret_cast<sockaddr*>(&recvAddr), sizeof recvAddr) == 0;

    setupErrno = ok ? 0 : errno;
    if (!ok) {
        DebugTrace("Drovik: socket setup failed: %s", std::strerror(setupErrno));
        Close();
    }
    return ok;
}

void CDrovik::Close() {
    sendSocket.reset();
    recvSocket.reset();
}

CDrovik::~CDrovik() = default;

long CDrovik::ReadDatagram(uint8_t* buffer, std::size_t capacity, Clock::time_point deadline) {
    if (!recvSocket.valid()) return -1;
    if (platform::WaitReadable(recvSocket.get(), deadline) != platform::Waited::Ready) return -1;
    socklen_t fromSize = sizeof recvAddr;
    // A larger datagram is cut to `capacity` bytes.
    ssize_t n =
        recvfrom(recvSocket.get(), buffer, capacity, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&recvAddr), &fromSize);
    return n < 0 ? -1 : static_cast<long>(n);
}

void CDrovik::Flush() {
    drovik::Reply scratch;
    const auto start = Clock::now();
    const auto bound = start + kFlushBound;
    auto quiet = start + milliseconds(kQuietMs);
    for (;;) {
        const auto until = std::min(quiet, bound);
        const long n = ReadDatagram(scratch.bytes, sizeof scratch.bytes, until);
        if (n < 0) {
            if (until == bound) DebugTrace("Drovik: flush ended by its 1 s bound");
            return;
        }
        // Only a camera's reply keeps the flush going: other traffic on the
        // port ends it no later than silence would.
        if (drovik::HoldReply(scratch, static_cast<std::size_t>(n), recvAddr) &&
            drovik::HasMakerOui(scratch.bytes + drovik::kHwAddrAt))
            quiet = Clock::now() + milliseconds(kQuietMs);
    }
}

int CDrovik::SendToEveryLink(const uint8_t* request, std::size_t length) {
    if (!sendSocket.valid()) return 0;
    int sent = 0;
    for (const platform::Link& link : platform::ListLinks()) {
        if (!platform::CanBroadcast(link)) continue;
        // IP_PKTINFO picks the outgoing link, so the broadcast also reaches a
        // link without a default route or without an IPv4 address.
        iovec data{const_cast<uint8_t*>(request), length};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = &destAddr;
        message.msg_namelen = sizeof destAddr;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(link.index);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
        if (sendmsg(sendSocket.get(), &message, 0) == static_cast<ssize_t>(length))
            ++sent;
        else
            DebugTrace("Drovik: send on %s failed: %s", link.name.c_str(), std::strerror(errno));
    }
    return sent;
}

int CDrovik::Discover(CameraRecord* table, const RecordSink& accepted, ScanOutcome* outcome) {
    const Exchange sockets(*this);
    if (!sockets.Open()) {
        if (outcome) {
            outcome->portErrno = setupErrno;
            outcome->portFailed = setupPort;
        }
        return 0;
    }
    drovik::ReplyBook book;
    int heard = 0;  // datagrams of a reply's size, repeats and junk included

    for (int pass = 0; pass < 4; ++pass) {
        Flush();
        const drovik::DiscoveryRequest request = drovik::MakeDiscoveryRequest(kRanges[pass][0], kRanges[pass][1]);
        const int links = SendToEveryLink(request.data(), request.size());
        if (links == 0) {
            DebugTrace("Drovik: request %d left through no link", pass + 1);
            return 0;
        }
        // A camera that hears the request on two links answers it twice.
        const int8_t passMark = links == 1 ? static_cast<int8_t>(pass) : -1;
        // The pass ends 0.5 s after the last new camera's reply, or at its bound;
        // a full table does not end it, so the cameras left out are counted.
        const auto bound = Clock::now() + kPassBound;
        auto quiet = Clock::now() + milliseconds(kQuietMs);
        for (;;) {
            const auto until = std::min(quiet, bound);
            drovik::Reply& slot = book.Slot();
            const long n = ReadDatagram(slot.bytes, sizeof slot.bytes, until);
            if (n < 0) {
                if (until == bound) DebugTrace("Drovik: pass %d collection ended by its 3 s bound", pass + 1);
                break;
            }
            if (!drovik::HoldReply(slot, static_cast<std::size_t>(n), recvAddr, passMark)) continue;
            // Junk, other makers' devices and repeats take no slot and do not
            // hold the pass open: only a camera not heard before is news.
            CameraRecord record;
            const drovik::ReplyBook::Taken taken = book.Take(heard++, record);
            if (taken == drovik::ReplyBook::Taken::Dropped) continue;
            quiet = Clock::now() + milliseconds(kQuietMs);
            if (taken == drovik::ReplyBook::Taken::Listed && accepted) accepted(record);
        }
    }

    DebugTrace("Got %d drovik replies", heard);
    if (book.NotListed() > 0)
        DebugTrace("Drovik: %d cameras listed; %d more answered and are not listed", book.Held(), book.NotListed());
    if (outcome) outcome->notListed += book.NotListed();
    return book.Build(table);
}
