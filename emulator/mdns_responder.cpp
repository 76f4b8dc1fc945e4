#include "mdns_responder.h"

#include "mdns_answer_wire.h"
#include "mdns_wire.h"
#include "udp.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

namespace camsim {
namespace {

constexpr int kBatch = 64;  // datagrams handled per wake-up
// How long one answer may wait for room in the send queue before it is given up.
constexpr std::chrono::seconds kSendPatience{2};
// Room for the burst of answers from hundreds of cameras; the kernel caps it
// at twice net.core.wmem_max, and a full queue is waited out anyway.
constexpr int kSendBuffer = 4 << 20;

}  // namespace

MdnsResponder::MdnsResponder(const std::vector<Camera>& cameras, LocalAddresses local, EventLoop& loop)
    : cameras_(cameras), local_(std::move(local)), loop_(loop) {
    std::map<unsigned, std::vector<std::size_t>> byDelay;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const Camera& cam = cameras[i];
        if (!cam.mdns) continue;
        if (!isLocal(local_, cam.ip)) {
            notLocal_.push_back(i);
            continue;
        }
        if (!mdns::buildAnswer(cam).ok()) continue;  // the config check at start-up refuses such a camera
        byDelay[cam.mdnsDelayMs].push_back(speakers_.size());
        speakers_.push_back({i, cam.ip});
    }
    for (auto& [delayMs, members] : byDelay) groups_.push_back({delayMs, std::move(members)});
}

bool MdnsResponder::open(std::string& error) {
    std::vector<unsigned> links = multicastLinks(local_);
    if (links.empty()) {
        error = "no link is up, multicast-capable and holds an IPv4 address";
        return false;
    }
    // Shares the port with any other responder on this host.
    fd_ = openUdp({}, mdns::kPort, {.shared = true, .arrivalLink = true, .mdns = true}, error);
    if (!fd_.valid()) return false;
    setsockopt(fd_.get(), SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof(kSendBuffer));  // a smaller one only slows the burst
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

void MdnsResponder::onReadable() {
    for (int i = 0; i < kBatch; ++i) {
        std::uint8_t buf[mdns::kMaxMessage];
        Arrival arrival;
        ReceiveResult result = receiveDatagram(fd_.get(), buf, arrival);
        if (result == ReceiveResult::Empty) return;
        if (result == ReceiveResult::Failed) {
            std::fprintf(stderr, "vantrel-camsim: mDNS socket read failed: %s\n", std::strerror(errno));
            return;
        }
        // A cut-off datagram is no message to answer; most traffic is other hosts' mDNS.
        if (arrival.truncated || !mdns::asksForWebService(std::span(buf, arrival.length))) continue;
        const auto now = EventLoop::Clock::now();
        for (std::size_t g = 0; g < groups_.size(); ++g) {
            unsigned ifindex = arrival.ifindex;
            if (groups_[g].delayMs == 0) {
                sendAnswers(groups_[g], ifindex);
            } else {
                loop_.at(now + std::chrono::milliseconds(groups_[g].delayMs),
                         [this, g, ifindex] { sendAnswers(groups_[g], ifindex); });
            }
        }
    }
}

void MdnsResponder::sendAnswers(const DelayGroup& group, unsigned ifindex) {
    for (std::size_t s : group.speakers) {
        const Speaker& speaker = speakers_[s];
        const Camera& cam = cameras_[speaker.camera];
        // Built anew each time: an assignment may have changed the settings it carries.
        mdns::Answer answer = mdns::buildAnswer(cam);
        auto deadline = std::chrono::steady_clock::now() + kSendPatience;
        SendResult result = sendDatagram(fd_.get(), {mdns::kGroup, mdns::kPort}, {ifindex, speaker.source},
                                         answer.bytes, deadline);
        if (result == SendResult::Sent) continue;
        std::fprintf(stderr, "vantrel-camsim: mDNS answer of %s from %s on link %u not sent: %s\n",
                     cam.name.c_str(), dotted(speaker.source).c_str(), ifindex,
                     result == SendResult::TimedOut ? "send queue stayed full" : std::strerror(errno));
    }
}

}  // namespace camsim
