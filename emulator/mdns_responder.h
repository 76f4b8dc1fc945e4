#pragma once
// Socket loop of the cameras' multicast DNS: one socket on port 5353, joined
// to 224.0.0.251 on every multicast link, answers each query for the web
// service with one datagram per camera, sent from the camera's own address
// out of the link the query came in on.

#include "camera.h"
#include "event_loop.h"
#include "multicast_links.h"
#include "udp.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace camsim {

class MdnsResponder {
public:
    // Takes the cameras with "mdns" set. Each answers from its own address,
    // so one whose address is not in `local` cannot answer: it is left out
    // and listed by NotLocal(). cameras is the camera state the services
    // share: each answer carries the camera's settings as they are when it
    // leaves (from the address it started with). Delayed answers wait on
    // `loop`'s timers.
    MdnsResponder(const std::vector<Camera>& cameras, LocalAddresses local, EventLoop& loop);
    MdnsResponder(const MdnsResponder&) = delete;
    MdnsResponder& operator=(const MdnsResponder&) = delete;

    // Indexes (in the camera list given) of the mDNS cameras left out.
    const std::vector<std::size_t>& NotLocal() const { return notLocal_; }

    // Creates, binds and joins the socket. On failure returns false and says why.
    bool Open(std::string& error);
    int Fd() const { return fd_.get(); }

    // Answers the queries waiting on the socket.
    void OnReadable();

    // The camera took its new address on this host: it answers from there.
    void Follow(std::size_t camera);

private:
    struct Speaker {
        std::size_t camera;  // index in cameras_
        Ipv4 source{};       // the address it started with
    };

    void SendAnswers(const std::vector<Speaker>& speakers, unsigned ifindex);

    const std::vector<Camera>& cameras_;
    LocalAddresses local_;
    EventLoop& loop_;
    std::map<unsigned, std::vector<Speaker>> byDelay_;  // cameras that answer after the same delay, in config order
    std::vector<std::size_t> notLocal_;
    platform::OwnedFd fd_;
};

}  // namespace camsim
