#pragma once
// One camera's web server: get.oid, set.oid and the list commands
// (http_request.h) on the camera's own address and web port, with the
// camera's credentials and fault. libmicrohttpd runs inside the event loop:
// the loop watches its epoll descriptor and wakes it by timer when it has
// work pending, and slow replies wait on loop timers, so a slow camera never
// holds up the others.
//
// Prints to stdout, one line each:
//   http <ip>:<port> <METHOD> <target as received>   every request
//   set <ip> <OID>=<value>                            every OID written
// Writes take effect once their reply is over.

#include "camera.h"
#include "event_loop.h"

#include <functional>
#include <memory>
#include <string>

namespace camsim {

class HttpServer {
public:
    // cam is the camera state the other services share; the writes land in it.
    HttpServer(Camera& cam, EventLoop& loop);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on the camera's address and web port. On failure returns false and says why.
    bool Open(std::string& error);
    int Fd() const;
    void OnReadable();

    // Told once a request that wrote the camera's address or DHCP setting is over.
    void OnAddressWrite(std::function<void()> told);
    // Listens on the camera's new address, on the same descriptor, once its
    // host holds it; never from inside OnReadable. False (and why) when it
    // cannot, and it stays where it was.
    bool Follow(std::string& error);
    bool Serves(const Camera& cam) const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace camsim
