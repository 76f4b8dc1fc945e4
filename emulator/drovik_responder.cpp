#include "drovik_responder.h"

#include <chrono>

namespace camsim {

DrovikResponder::DrovikResponder(std::vector<Camera>& cameras, const LocalAddresses& local, EventLoop& loop)
    : cameras_(cameras), local_(local), loop_(loop), recentNonces_(cameras.size()) {}

bool DrovikResponder::Open(std::string& error) {
    // Shares the port with a PC's own send socket on the same host.
    fd_ = OpenUdp({}, drovik::kRequestPort, {.shared = true, .broadcast = true, .arrivalLink = true}, error);
    return fd_.valid();
}

void DrovikResponder::OnReadable() {
    ReceiveWaiting(fd_.get(), "discovery", [this](std::span<const std::uint8_t> datagram, const Arrival& arrival) {
        Answer(datagram, arrival.from, arrival.ifindex);
    });
}

// Out of the request's link, from the camera's own address when this host holds it.
Route DrovikResponder::RouteFor(const Camera& cam, unsigned ifindex) const {
    return {ifindex, IsLocal(local_, cam.ip) ? cam.ip : Ipv4{}};
}

void DrovikResponder::Answer(std::span<const std::uint8_t> datagram, const Ipv4& from, unsigned ifindex) {
    if (auto assignment = drovik::ParseAssignRequest(datagram)) return AnswerAssignment(*assignment, from, ifindex);
    auto request = drovik::ParseDiscoveryRequest(datagram);
    if (!request) return;  // noise, or another host's reply to a camera
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        const Camera& cam = cameras_[i];
        if (!drovik::AnswersRequest(cam, *request)) continue;
        const Nonce nonce = nonces_.Next();
        recentNonces_[i].Add(nonce);
        SendReply(fd_.get(), {drovik::ReplyDestination(cam, from), drovik::kReplyPort}, RouteFor(cam, ifindex),
                  drovik::BuildDiscoveryReply(cam, request->packetId, nonce), "discovery reply", cam.name);
    }
}

void DrovikResponder::AnswerAssignment(const drovik::AssignRequest& request, const Ipv4& from, unsigned ifindex) {
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        Camera& cam = cameras_[i];
        if (cam.hwAddr != request.target) continue;
        // The replies leave the way the camera's discovery replies did before the change.
        const Destination to{drovik::ReplyDestination(cam, from), drovik::kReplyPort};
        const Route route = RouteFor(cam, ifindex);
        drovik::AssignOutcome outcome = drovik::Assign(cam, recentNonces_[i], request);
        loop_.At(EventLoop::Clock::now() + std::chrono::milliseconds(cam.assignDelayMs),
                 [this, i, to, route, replies = outcome.replies] {
                     for (const auto& reply : replies) {
                         SendReply(fd_.get(), to, route, reply, "assignment reply", cameras_[i].name);
                     }
                 });
        if (outcome.applied) {
            // Told on stdout like the web server's writes.
            Say("assign " + HexText(cam.hwAddr, ":") + " dhcp=" + std::to_string(cam.dhcp) +
                " reboot=" + (request.reboot ? "1" : "0") + " ip=" + Dotted(cam.ip));
            if (onApplied_) onApplied_(i);
        }
    }
}

}  // namespace camsim
