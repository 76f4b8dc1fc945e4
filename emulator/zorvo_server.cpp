#include "zorvo_server.h"

#include "event_loop.h"
#include "http_request.h"
#include "udp.h"

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
        say("set " + dotted(ip_) + " " + oid + "=" + value);
    });
}

bool ZorvoServer::open(std::string& error) {
    fd_ = openUdp(cam_.ip, zorvo::kPort, {}, error);
    return fd_.valid();
}

bool ZorvoServer::follow(std::string& error) {
    if (cam_.ip == ip_ || !fd_.valid()) return true;
    platform::OwnedFd moved = openUdp(cam_.ip, zorvo::kPort, {}, error);
    if (!moved.valid()) return false;
    // The event loop keeps watching fd_, which now is the new socket.
    ::dup3(moved.get(), fd_.get(), O_CLOEXEC);
    ip_ = cam_.ip;
    return true;
}

void ZorvoServer::onReadable() {
    for (int i = 0; i < kBatch; ++i) {
        std::uint8_t buf[kReadSize];
        Arrival arrival;
        ReceiveResult result = receiveDatagram(fd_.get(), buf, arrival);
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
        SendResult sent = sendDatagram(fd_.get(), to, Route{0, ip_}, *reply, std::chrono::steady_clock::now() + kSendPatience);
        if (sent != SendResult::Sent) {
            std::fprintf(stderr, "vantrel-camsim: OID reply of %s not sent: %s\n", name_.c_str(),
                         sent == SendResult::TimedOut ? "send queue stayed full" : std::strerror(errno));
        }
    }
}

}  // namespace camsim
