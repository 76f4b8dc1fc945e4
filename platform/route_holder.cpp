#include "route_holder.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "owned_fd.h"

namespace platform {
namespace {

socklen_t HolderName(in_addr destination, int prefixLength, unsigned linkIndex, sockaddr_un& name) {
    name = {};
    name.sun_family = AF_UNIX;
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &destination, text, sizeof text);
    // A leading NUL: an abstract name, in no file system.
    const int n = std::snprintf(name.sun_path + 1, sizeof name.sun_path - 1, "vantrel-route %s/%d %u", text,
                                prefixLength, linkIndex);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

}  // namespace

int HoldRoute(in_addr destination, int prefixLength, unsigned linkIndex) {
    sockaddr_un name;
    const socklen_t length = HolderName(destination, prefixLength, linkIndex, name);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&name), length) != 0 || listen(fd, 64) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool RouteHeld(in_addr destination, int prefixLength, unsigned linkIndex, uid_t& holder) {
    sockaddr_un name;
    const socklen_t length = HolderName(destination, prefixLength, linkIndex, name);
    OwnedFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0) return true;  // cannot tell: treat it as held, so nothing is removed
    holder = static_cast<uid_t>(-1);
    if (connect(fd.get(), reinterpret_cast<sockaddr*>(&name), length) != 0)
        return errno != ECONNREFUSED && errno != ENOENT;  // a full queue (EAGAIN) still means held
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0) holder = peer.uid;
    return true;
}

}  // namespace platform
