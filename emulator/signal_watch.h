#pragma once
// SIGTERM and SIGINT delivered as a readable file descriptor (signalfd), so
// the event loop waits for them like for any socket and no signal can slip
// in between a check and a wait.

namespace camsim {

class SignalWatch {
public:
    SignalWatch() = default;
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Blocks SIGTERM and SIGINT for the process and opens the signalfd.
    // Call before anything that may be told to stop. False on failure.
    bool open();
    int fd() const { return fd_; }
    // Reads away pending signals; true when one was pending.
    bool consume();

private:
    int fd_ = -1;
};

}  // namespace camsim
