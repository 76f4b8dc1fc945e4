#include "drovik_responder.h"

#include "udp.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace camsim {
namespace {

constexpr int kBatch = 64;              // requests handled per wake-up
constexpr std::size_t kReadSize = 2048;  // requests are 8 to 61 bytes; anything longer is not ours anyway
// How long one reply may wait for room in the send queue before it is given up.
constexpr std::chrono::seconds kSendPatience{2};

}  // namespace

DrovikResponder::DrovikResponder(std::vector<Camera>& cameras, const LocalAddresses& local)
    : cameras_(cameras), localAddresses_(local.size()) {
    for (std::size_t i = 0; i < local.size(); ++i) std::memcpy(localAddresses_[i].data(), &local[i].address, 4);
    std::sort(localAddresses_.begin(), localAddresses_.end());
    recentNonces_.resize(cameras_.size());
}

Ipv4 DrovikResponder::sourceFor(const Camera& cam) const {
    bool local = std::binary_search(localAddresses_.begin(), localAddresses_.end(), cam.ip);
    return local ? cam.ip : Ipv4{};
}

bool DrovikResponder::open(std::string& error) {
    // Shares the port with a PC's own send socket on the same host.
    fd_ = openUdp({}, drovik::kRequestPort, {.shared = true, .broadcast = true, .arrivalLink = true}, error);
    return fd_.valid();
}

void DrovikResponder::onReadable() {
    for (int i = 0; i < kBatch; ++i) {
        std::uint8_t buf[kReadSize];
        Arrival arrival;
        ReceiveResult result = receiveDatagram(fd_.get(), buf, arrival);
        if (result == ReceiveResult::Empty) return;
        if (result == ReceiveResult::Failed) {
            std::fprintf(stderr, "vantrel-camsim: discovery socket read failed: %s\n", std::strerror(errno));
            return;
        }
        answer(std::span<const std::uint8_t>(buf, arrival.length), arrival.from, arrival.ifindex);
    }
}

void DrovikResponder::send(const Camera& cam, const Destination& to, const Route& route,
                           std::span<const std::uint8_t> reply) {
    SendResult result = sendDatagram(fd_.get(), to, route, reply, std::chrono::steady_clock::now() + kSendPatience);
    if (result == SendResult::Sent) return;
    std::fprintf(stderr, "vantrel-camsim: reply of %s to %s on link %u not sent: %s\n", cam.name.c_str(),
                 dotted(to.addr).c_str(), route.ifindex,
                 result == SendResult::TimedOut ? "send queue stayed full" : std::strerror(errno));
}

void DrovikResponder::answer(std::span<const std::uint8_t> datagram, const Ipv4& from, unsigned ifindex) {
    if (auto assignment = drovik::parseAssignRequest(datagram)) return answerAssignment(*assignment, from, ifindex);
    auto request = drovik::parseDiscoveryRequest(datagram);
    if (!request) return;  // noise, or another host's reply to a camera
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        const Camera& cam = cameras_[i];
        if (!drovik::answersRequest(cam, *request)) continue;
        std::vector<std::uint8_t> reply = drovik::buildDiscoveryReply(cam, request->packetId, nonces_.next());
        Nonce nonce;
        std::copy_n(reply.begin() + 12, nonce.size(), nonce.begin());
        recentNonces_[i].add(nonce);
        send(cam, {drovik::replyDestination(cam, from), drovik::kReplyPort}, Route{ifindex, sourceFor(cam)}, reply);
    }
}

void DrovikResponder::answerAssignment(const drovik::AssignRequest& request, const Ipv4& from, unsigned ifindex) {
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        Camera& cam = cameras_[i];
        if (cam.hwAddr != request.target) continue;
        // The replies leave the way the camera's discovery replies did before the change.
        const Destination to{drovik::replyDestination(cam, from), drovik::kReplyPort};
        const Route route{ifindex, sourceFor(cam)};
        drovik::AssignOutcome outcome = drovik::assign(cam, recentNonces_[i], request);
        if (cam.assignDelayMs > 0 && loop_) {
            loop_->at(EventLoop::Clock::now() + std::chrono::milliseconds(cam.assignDelayMs),
                      [this, i, to, route, replies = outcome.replies] {
                          for (const auto& reply : replies) send(cameras_[i], to, route, reply);
                      });
        } else {
            for (const auto& reply : outcome.replies) send(cam, to, route, reply);
        }
        if (outcome.applied) {
            // Told on stdout like the web server's writes: "assign <hwaddr> dhcp=D reboot=R ip=A".
            say("assign " + hwText(cam.hwAddr) + " dhcp=" + std::to_string(cam.dhcp) +
                " reboot=" + (request.reboot ? "1" : "0") + " ip=" + dotted(cam.ip));
            if (onApplied_) onApplied_(i);
        }
    }
}

}  // namespace camsim
