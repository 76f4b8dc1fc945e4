#include "drovik_responder.h"

#include <chrono>

namespace camsim {

DrovikResponder::DrovikResponder(std::vector<Camera>& cameras, LocalAddresses local, EventLoop& loop)
    : cameras_(cameras), local_(std::move(local)), loop_(loop), recentNonces_(cameras.size()) {}

bool DrovikResponder::open(std::string& error) {
    // Shares the port with a PC's own send socket on the same host.
    fd_ = openUdp({}, drovik::kRequestPort, {.shared = true, .broadcast = true, .arrivalLink = true}, error);
    return fd_.valid();
}

void DrovikResponder::onReadable() {
    receiveWaiting(fd_.get(), "discovery", [this](std::span<const std::uint8_t> datagram, const Arrival& arrival) {
        answer(datagram, arrival.from, arrival.ifindex);
    });
}

// Out of the request's link, from the camera's own address when this host holds it.
Route DrovikResponder::routeFor(const Camera& cam, unsigned ifindex) const {
    return {ifindex, isLocal(local_, cam.ip) ? cam.ip : Ipv4{}};
}

void DrovikResponder::answer(std::span<const std::uint8_t> datagram, const Ipv4& from, unsigned ifindex) {
    if (auto assignment = drovik::parseAssignRequest(datagram)) return answerAssignment(*assignment, from, ifindex);
    auto request = drovik::parseDiscoveryRequest(datagram);
    if (!request) return;  // noise, or another host's reply to a camera
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        const Camera& cam = cameras_[i];
        if (!drovik::answersRequest(cam, *request)) continue;
        const Nonce nonce = nonces_.next();
        recentNonces_[i].add(nonce);
        sendReply(fd_.get(), {drovik::replyDestination(cam, from), drovik::kReplyPort}, routeFor(cam, ifindex),
                  drovik::buildDiscoveryReply(cam, request->packetId, nonce), "discovery reply", cam.name);
    }
}

void DrovikResponder::answerAssignment(const drovik::AssignRequest& request, const Ipv4& from, unsigned ifindex) {
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        Camera& cam = cameras_[i];
        if (cam.hwAddr != request.target) continue;
        // The replies leave the way the camera's discovery replies did before the change.
        const Destination to{drovik::replyDestination(cam, from), drovik::kReplyPort};
        const Route route = routeFor(cam, ifindex);
        drovik::AssignOutcome outcome = drovik::assign(cam, recentNonces_[i], request);
        loop_.at(EventLoop::Clock::now() + std::chrono::milliseconds(cam.assignDelayMs),
                 [this, i, to, route, replies = outcome.replies] {
                     for (const auto& reply : replies) sendReply(fd_.get(), to, route, reply, "assignment reply", cameras_[i].name);
                 });
        if (outcome.applied) {
            // Told on stdout like the web server's writes.
            say("assign " + hexText(cam.hwAddr, ":") + " dhcp=" + std::to_string(cam.dhcp) +
                " reboot=" + (request.reboot ? "1" : "0") + " ip=" + dotted(cam.ip));
            if (onApplied_) onApplied_(i);
        }
    }
}

}  // namespace camsim
