#pragma once
// Socket of one camera's OID service: UDP on the camera's own address, port
// 35777; each request is answered to the address and port it came from.

#include "camera.h"
#include "camera_credentials.h"
#include "udp.h"
#include "zorvo_server_wire.h"

#include <cstdint>
#include <string>

namespace camsim {

class ZorvoServer {
public:
    // Writes the camera takes go into `cam`, shared with its other services,
    // and are told on stdout: "set <ip> <OID>=<value>".
    explicit ZorvoServer(Camera& cam);
    ZorvoServer(const ZorvoServer&) = delete;
    ZorvoServer& operator=(const ZorvoServer&) = delete;

    // Creates the socket and binds it to the camera's address. On failure
    // returns false and says why.
    bool Open(std::string& error);
    int Fd() const { return fd_.get(); }

    // After an assignment: serves on the camera's new address, on the same
    // descriptor. Its host must hold that address; false (and why) when the
    // socket cannot move, and it stays where it was.
    bool Follow(std::string& error);
    bool Serves(const Camera& cam) const { return &cam == &cam_; }

    // Answers the requests waiting on the socket, a bounded batch at a time.
    void OnReadable();

private:
    const Camera& cam_;
    Ipv4 ip_;
    NonceSource nonces_;
    zorvo::OidService service_;
    platform::OwnedFd fd_;
};

}  // namespace camsim
