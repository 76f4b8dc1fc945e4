#pragma once
// A poll() loop over the emulator's descriptors: every camera service
// registers its socket here, and the loop ends on stop() or at a deadline.

#include <chrono>
#include <functional>
#include <vector>

namespace camsim {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Handler = std::function<void()>;

    enum class End { Stopped, DeadlineReached, PollFailed };

    // Calls onReadable whenever fd has data (or an error) waiting.
    void watch(int fd, Handler onReadable);

    End run(Clock::time_point deadline);

    // Makes run() return after the current handler.
    void stop() { stopped_ = true; }

private:
    struct Watch {
        int fd;
        Handler onReadable;
    };
    std::vector<Watch> watches_;
    bool stopped_ = false;
};

}  // namespace camsim
