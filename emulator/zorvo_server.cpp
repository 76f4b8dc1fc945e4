#include "zorvo_server.h"

#include "event_loop.h"
#include "udp.h"

#include <fcntl.h>
#include <unistd.h>

namespace camsim {

ZorvoServer::ZorvoServer(Camera& cam) : cam_(cam), ip_(cam.ip), service_(cam, [this] { return nonces_.Next(); }) {
    service_.OnWrite([this](const std::string& oid, const std::string& value) {
        Say("set " + Dotted(ip_) + " " + oid + "=" + value);
    });
}

bool ZorvoServer::Open(std::string& error) {
    fd_ = OpenUdp(cam_.ip, zorvo::kPort, {}, error);
    return fd_.valid();
}

bool ZorvoServer::Follow(std::string& error) {
    if (cam_.ip == ip_ || !fd_.valid()) return true;
    platform::OwnedFd moved = OpenUdp(cam_.ip, zorvo::kPort, {}, error);
    if (!moved.valid()) return false;
    // The event loop keeps watching fd_, which now is the new socket.
    ::dup3(moved.get(), fd_.get(), O_CLOEXEC);
    ip_ = cam_.ip;
    return true;
}

void ZorvoServer::OnReadable() {
    ReceiveWaiting(fd_.get(), "OID", [this](std::span<const std::uint8_t> datagram, const Arrival& arrival) {
        // From the camera's own address, as a camera answers: a bare control
        // message would let the kernel pick the host's first address instead.
        if (auto reply = service_.Answer(datagram)) {
            SendReply(fd_.get(), {arrival.from, arrival.fromPort}, Route{0, ip_}, *reply, "OID reply", cam_.name);
        }
    });
}

}  // namespace camsim
