#pragma once
// Socket loop of the cameras' broadcast discovery and assignment: one UDP
// socket on port 43282 receives the PC's requests and sends every camera's
// reply out of the link the request came in on.

#include "camera.h"
#include "camera_credentials.h"
#include "drovik_assign_wire.h"
#include "drovik_responder_wire.h"
#include "event_loop.h"
#include "multicast_links.h"
#include "udp.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace camsim {

class DrovikResponder {
public:
    // cameras is the camera state the services share (an assignment changes
    // it); it must outlive the responder. `local` holds this host's IPv4
    // addresses: a camera whose address is one of them sends from it.
    DrovikResponder(std::vector<Camera>& cameras, const LocalAddresses& local);
    DrovikResponder(const DrovikResponder&) = delete;
    DrovikResponder& operator=(const DrovikResponder&) = delete;

    // Creates and binds the socket. On failure returns false and says why.
    bool open(std::string& error);
    int fd() const { return fd_.get(); }

    // Answers the requests waiting on the socket; reads a bounded batch so a
    // flood cannot starve the rest of the event loop.
    void onReadable();

    // The loop that holds delayed assignment replies; without one they leave at once.
    void setLoop(EventLoop* loop) { loop_ = loop; }
    // Told the index of each camera that took an assignment.
    void onApplied(std::function<void(std::size_t camera)> told) { onApplied_ = std::move(told); }

private:
    void answer(std::span<const std::uint8_t> datagram, const Ipv4& from, unsigned ifindex);
    void answerAssignment(const drovik::AssignRequest& request, const Ipv4& from, unsigned ifindex);
    void send(const Camera& cam, const Destination& to, const Route& route, std::span<const std::uint8_t> reply);
    // The camera's own address if it is local, else 0.0.0.0.
    Ipv4 sourceFor(const Camera& cam) const;

    std::vector<Camera>& cameras_;
    std::vector<Ipv4> localAddresses_;  // sorted
    std::vector<drovik::RecentNonces> recentNonces_;  // per camera
    NonceSource nonces_;
    platform::OwnedFd fd_;
    EventLoop* loop_ = nullptr;
    std::function<void(std::size_t)> onApplied_;
};

}  // namespace camsim
