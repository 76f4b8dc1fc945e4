#pragma once
// Socket of one camera's OID service: UDP on the camera's own address, port
// 35777; each request is answered to the address and port it came from.

#include "camera.h"
#include "nonce_source.h"
#include "zorvo_server_wire.h"

#include <cstdint>
#include <string>

namespace camsim {

class ZorvoServer {
public:
    // Writes the camera takes go into `cam`, shared with its other services,
    // and are told on stdout: "set <ip> <OID>=<value>".
    explicit ZorvoServer(Camera& cam);
    ~ZorvoServer();
    ZorvoServer(const ZorvoServer&) = delete;
    ZorvoServer& operator=(const ZorvoServer&) = delete;

    // Creates the socket and binds it to the camera's address. On failure
    // returns false and says why.
    bool open(std::string& error);
    int fd() const { return fd_; }

    // Answers the requests waiting on the socket, a bounded batch at a time.
    void onReadable();

    void setVerbose(bool verbose) { verbose_ = verbose; }

private:
    std::string name_;
    Ipv4 ip_;
    NonceSource nonces_;
    zorvo::OidService service_;
    int fd_ = -1;
    bool verbose_ = false;
};

}  // namespace camsim
