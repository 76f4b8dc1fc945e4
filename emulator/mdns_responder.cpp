#include "mdns_responder.h"

#include "mdns_answer_wire.h"
#include "mdns_wire.h"
#include "udp.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace camsim {
namespace {

// Room for the burst of answers from hundreds of cameras; the kernel caps it
// at twice net.core.wmem_max, and a full queue is waited out anyway.
constexpr int kSendBuffer = 4 << 20;

}  // namespace

MdnsResponder::MdnsResponder(const std::vector<Camera>& cameras, LocalAddresses local, EventLoop& loop)
    : cameras_(cameras), local_(std::move(local)), loop_(loop) {
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const Camera& cam = cameras[i];
        if (!cam.mdns) continue;
        const bool local = IsLocal(local_, cam.ip);
        if (!local) notLocal_.push_back(i);
        // The config check at start-up refuses a camera whose answer cannot be built.
        if (local && mdns::BuildAnswer(cam).Ok()) byDelay_[cam.mdnsDelayMs].push_back({i, cam.ip});
    }
}

bool MdnsResponder::Open(std::string& error) {
    std::vector<unsigned> links = MulticastLinks(local_);
    if (links.empty()) {
        error = "no link is up, multicast-capable and holds an IPv4 address";
        return false;
    }
    // Shares the port with any other responder on this host.
    fd_ = OpenUdp({}, mdns::kPort, {.shared = true, .arrivalLink = true, .mdns = true}, error);
    if (!fd_.valid()) return false;
    setsockopt(fd_.get(), SOL_SOCKET, SO_SNDBUF, &kSendBuffer,
               sizeof(kSendBuffer));  // a smaller one only slows the burst
    for (unsigned ifindex : links) {
        ip_mreqn join{};
        std::memcpy(&join.imr_multiaddr.s_addr, mdns::kGroup.data(), mdns::kGroup.size());
        join.imr_ifindex = static_cast<int>(ifindex);
        if (setsockopt(fd_.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof(join)) != 0) {
            error = "joining 224.0.0.251 on link " + std::to_string(ifindex) + ": " + std::strerror(errno);
            fd_.reset();
            return false;
        }
    }
    return true;
}

void MdnsResponder::OnReadable() {
    ReceiveWaiting(fd_.get(), "mDNS", [this](std::span<const std::uint8_t> datagram, const Arrival& arrival) {
        // Most traffic is other hosts' mDNS.
        if (!mdns::AsksForWebService(datagram)) return;
        const auto now = EventLoop::Clock::now();
        for (const auto& [delayMs, speakers] : byDelay_) {
            loop_.At(now + std::chrono::milliseconds(delayMs),
                     [this, &speakers, ifindex = arrival.ifindex] { SendAnswers(speakers, ifindex); });
        }
    });
}

void MdnsResponder::Follow(std::size_t camera) {
    for (auto& [delayMs, speakers] : byDelay_) {
        for (Speaker& speaker : speakers) {
            if (speaker.camera == camera) speaker.source = cameras_[camera].ip;
        }
    }
}

void MdnsResponder::SendAnswers(const std::vector<Speaker>& speakers, unsigned ifindex) {
    for (const Speaker& speaker : speakers) {
        const Camera& cam = cameras_[speaker.camera];
        // Built anew each time: an assignment may have changed the settings it carries.
        SendReply(fd_.get(), {mdns::kGroup, mdns::kPort}, {ifindex, speaker.source}, mdns::BuildAnswer(cam).bytes,
                  "mDNS answer", cam.name);
    }
}

}  // namespace camsim
