#pragma once
// Scans and assignments on one PC take turns on the cameras' reply port.
// Cameras answer by unicast to port 43283, and the kernel hands a unicast
// datagram to only one of the sockets bound there: two programs listening at
// once would each lose cameras without a word. The turn is an abstract Unix
// socket name, so every user can take it, it belongs to the network namespace
// (as the port does), and it is freed when its holder ends in any way.
#include <chrono>
#include <functional>
#include <sys/types.h>

#include "owned_fd.h"

namespace platform {

class CameraPortTurn {
public:
    // Told once, when the wait begins, which process holds the turn (0 when unknown).
    using WaitNotice = std::function<void(pid_t holder)>;

    // Takes the turn, waiting at most `bound` for the holder to end its turn.
    // Without the turn after that (or when the name cannot be used at all),
    // Held() is false and the caller goes on beside the other program.
    CameraPortTurn(std::chrono::milliseconds bound, const WaitNotice& notice);
    ~CameraPortTurn() = default;  // ends the turn
    CameraPortTurn(const CameraPortTurn&) = delete;
    CameraPortTurn& operator=(const CameraPortTurn&) = delete;

    bool Held() const { return fd_.valid(); }
    // 0 when the turn was free; errno of the failure when it could not be taken.
    int Error() const { return error_; }
    std::chrono::milliseconds Waited() const { return waited_; }

private:
    OwnedFd fd_;
    int error_ = 0;
    std::chrono::milliseconds waited_{0};
};

}  // namespace platform
