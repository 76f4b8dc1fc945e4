#pragma once
// A real avahi-daemon inside a namespace of the test LAN: no D-Bus, its own
// mount namespace for /run and its services folder, so it touches nothing of
// the machine's own.
#include <memory>
#include <string>
#include <vector>

#include "test_lan.h"

struct AvahiService {
    std::string name;  // instance name, e.g. "Lobby-02e5a1c0ffee"
    int port = 80;
    std::vector<std::string> txt;
};

class AvahiDaemon {
public:
    // Empty when avahi-daemon can run here, else why not.
    static std::string Unavailable();

    // Starts avahi-daemon in `host` on `link`, publishing `services`; waits until it is up.
    AvahiDaemon(TestLan& lan, const std::string& host, const std::string& link,
                const std::vector<AvahiService>& services);
    ~AvahiDaemon();
    bool Ok() const { return ok_; }

private:
    std::string dir_;
    std::unique_ptr<LanProcess> process_;
    bool ok_ = false;
};
