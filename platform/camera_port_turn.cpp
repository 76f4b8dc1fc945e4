#include "camera_port_turn.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "deadline_wait.h"
#include "owned_fd.h"

namespace platform {
namespace {

using Clock = WaitClock;

constexpr char kName[] = "vantrel/camera-port-43283";
constexpr std::chrono::milliseconds kRetry{50};  // only when there is no holder to wait on

socklen_t Address(sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, kName, sizeof kName - 1);  // leading NUL: abstract
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + sizeof kName - 1);
}

// The holder listens on the name; -1 with errno when it is taken or unusable.
OwnedFd TryTake() {
    OwnedFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fd;
    sockaddr_un address;
    const socklen_t length = Address(address);
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd.get(), SOMAXCONN) == 0)
        return fd;
    const int error = errno;
    fd.reset();
    errno = error;
    return fd;
}

}  // namespace

CameraPortTurn::CameraPortTurn(std::chrono::milliseconds bound, const WaitNotice& notice) {
    const auto start = Clock::now();
    const auto deadline = start + bound;
    bool told = false;
    bool refused = false;
    for (;;) {
        fd_ = TryTake();
        if (fd_.valid()) break;
        if (errno != EADDRINUSE) {
            error_ = errno;
            break;
        }
        if (MsLeft(deadline) == 0) {
            error_ = ETIMEDOUT;
            break;
        }
        // A connection to the holder is reset when the holder closes: that is
        // the event to wait for. It is never accepted.
        const OwnedFd probe(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!probe.valid()) {
            error_ = errno;
            break;
        }
        sockaddr_un address;
        const socklen_t length = Address(address);
        const bool connected = connect(probe.get(), reinterpret_cast<sockaddr*>(&address), length) == 0;
        const int why = connected ? 0 : errno;
        if (connected) {
            if (!told) {
                ucred holder{};
                socklen_t size = sizeof holder;
                if (getsockopt(probe.get(), SOL_SOCKET, SO_PEERCRED, &holder, &size) != 0) holder.pid = 0;
                if (notice) notice(holder.pid);
                told = true;
            }
            WaitReadable(probe.get(), deadline, POLLRDHUP);
        } else if (why != ECONNREFUSED || refused) {
            // A full queue of waiters, or a name held by something that does
            // not listen: nothing to wait on but time.
            WaitAny(nullptr, 0, std::min(deadline, Clock::now() + kRetry));
        }
        // A first refusal: the holder ended between the two steps; try again at once.
        refused = why == ECONNREFUSED;
    }
    waited_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace platform
