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
    // it); it must outlive the responder, as must `local`, this host's IPv4
    // addresses as they are now: a camera whose address is one of them sends
    // from it. Delayed assignment replies wait on `loop`'s timers.
    DrovikResponder(std::vector<Camera>& cameras, const LocalAddresses& local, EventLoop& loop);
    DrovikResponder(const DrovikResponder&) = delete;
    DrovikResponder& operator=(const DrovikResponder&) = delete;

    // Creates and binds the socket. On failure returns false and says why.
    bool Open(std::string& error);
    int Fd() const { return fd_.get(); }

    // Answers the requests waiting on the socket.
    void OnReadable();

    // Told the index of each camera that took an assignment.
    void OnApplied(std::function<void(std::size_t camera)> told) { onApplied_ = std::move(told); }

private:
    void Answer(std::span<const std::uint8_t> datagram, const Ipv4& from, unsigned ifindex);
    void AnswerAssignment(const drovik::AssignRequest& request, const Ipv4& from, unsigned ifindex);
    Route RouteFor(const Camera& cam, unsigned ifindex) const;

    std::vector<Camera>& cameras_;
    const LocalAddresses& local_;
    EventLoop& loop_;
    std::vector<drovik::RecentNonces> recentNonces_;  // per camera
    NonceSource nonces_;
    platform::OwnedFd fd_;
    std::function<void(std::size_t)> onApplied_;
};

}  // namespace camsim
