#include "zorvo_server.h"

#include "http_request.h"
#include "udp.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace camsim {
namespace {

constexpr int kBatch = 64;
constexpr std::size_t kReadSize = 2048;  // requests fit in 100 bytes
constexpr std::chrono::seconds kSendPatience{2};

}  // namespace

ZorvoServer::ZorvoServer(Camera& cam)
    : cam_(cam), name_(cam.name), ip_(cam.ip), service_(cam, [this] { return nonces_.next(); }) {
    service_.onWrite([this, &cam](const std::string& oid, const std::string& value) {
        http::applyOidWrite(cam, {oid, value});
        std::printf("set %s %s=%s\n", dotted(ip_).c_str(), oid.c_str(), value.c_str());
        std::fflush(stdout);  // test harnesses read it while the emulator runs
    });
}

ZorvoServer::~ZorvoServer() {
    if (fd_ >= 0) ::close(fd_);
}

int ZorvoServer::bound(std::string& error) const {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(zorvo::kPort);
    std::memcpy(&addr.sin_addr.s_addr, cam_.ip.data(), cam_.ip.size());
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        error = std::string(fd < 0 ? "socket" : "bind") + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

bool ZorvoServer::open(std::string& error) {
    fd_ = bound(error);
    return fd_ >= 0;
}

bool ZorvoServer::follow(std::string& error) {
    if (cam_.ip == ip_ || fd_ < 0) return true;
    const int fd = bound(error);
    if (fd < 0) return false;
    // The event loop keeps watching fd_, which now is the new socket.
    ::dup3(fd, fd_, O_CLOEXEC);
    ::close(fd);
    ip_ = cam_.ip;
    return true;
}

void ZorvoServer::onReadable() {
    for (int i = 0; i < kBatch; ++i) {
        std::uint8_t buf[kReadSize];
        Arrival arrival;
        ReceiveResult result = receiveDatagram(fd_, buf, arrival);
        if (result == ReceiveResult::Empty) return;
        if (result == ReceiveResult::Failed) {
            std::fprintf(stderr, "vantrel-camsim: OID socket of %s read failed: %s\n", name_.c_str(),
                         std::strerror(errno));
            return;
        }
        if (arrival.truncated) continue;
        auto reply = service_.answer(std::span<const std::uint8_t>(buf, arrival.length));
        if (!reply) continue;
        Destination to{arrival.from, arrival.fromPort};
        // From the camera's own address, as a camera answers: a bare control
        // message would let the kernel pick the host's first address instead.
        SendResult sent = sendDatagram(fd_, to, Route{0, ip_}, *reply, std::chrono::steady_clock::now() + kSendPatience);
        if (sent != SendResult::Sent) {
            std::fprintf(stderr, "vantrel-camsim: OID reply of %s not sent: %s\n", name_.c_str(),
                         sent == SendResult::TimedOut ? "send queue stayed full" : std::strerror(errno));
        }
    }
}

}  // namespace camsim
