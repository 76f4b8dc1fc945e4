#include "camera_port_turn.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kName[] = "vantrel/camera-port-43283";
constexpr int kRetryMs = 50;  // only when there is no holder to wait on

socklen_t Address(sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, kName, sizeof kName - 1);  // leading NUL: abstract
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + sizeof kName - 1);
}

// The holder listens on the name; -1 with errno when it is taken or unusable.
int TryTake() {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address;
    const socklen_t length = Address(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, SOMAXCONN) == 0) return fd;
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
}

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CameraPortTurn::CameraPortTurn(std::chrono::milliseconds bound, const WaitNotice& notice) {
    const auto start = Clock::now();
    const auto deadline = start + bound;
    bool told = false;
    bool refused = false;
    for (;;) {
        fd_ = TryTake();
        if (fd_ >= 0) break;
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
        const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (probe < 0) {
            error_ = errno;
            break;
        }
        sockaddr_un address;
        const socklen_t length = Address(address);
        const bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), length) == 0;
        const int why = connected ? 0 : errno;
        if (connected) {
            if (!told) {
                ucred holder{};
                socklen_t size = sizeof holder;
                if (getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &holder, &size) != 0) holder.pid = 0;
                if (notice) notice(holder.pid);
                told = true;
            }
            pollfd ended{probe, POLLRDHUP, 0};
            while (poll(&ended, 1, MsLeft(deadline)) < 0 && errno == EINTR) {
            }
        } else if (why != ECONNREFUSED || refused) {
            // A full queue of waiters, or a name held by something that does
            // not listen: nothing to wait on but time.
            poll(nullptr, 0, kRetryMs < MsLeft(deadline) ? kRetryMs : MsLeft(deadline));
        }
        // A first refusal: the holder ended between the two steps; try again at once.
        refused = why == ECONNREFUSED;
        close(probe);
    }
    waited_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

CameraPortTurn::~CameraPortTurn() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace platform
