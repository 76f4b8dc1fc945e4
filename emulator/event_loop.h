#pragma once
// A poll() loop over the emulator's descriptors and one-shot timers: every
// camera service registers its socket here, and the loop ends on Stop() or
// at a deadline.

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace camsim {

inline constexpr int kExitRuntime = 1;  // the program could not do its job (socket, interfaces)
inline constexpr int kExitUsage = 2;    // bad command line or config

// Says why on standard error after the program's name; returns `code`.
[[gnu::format(printf, 2, 3)]] int Complain(int code, const char* format, ...);

// One line on stdout, flushed at once: test harnesses read it while the emulator runs.
void Say(const std::string& line);

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Handler = std::function<void()>;

    // Calls onReadable whenever fd has data (or an error) waiting.
    void Watch(int fd, Handler onReadable);
    // Ends Run() once fd, a signalfd of the stop signals, has one waiting.
    void StopOn(int signalFd) {
        Watch(signalFd, [this] { Stop(); });
    }

    // Calls onDue once, as soon as the loop runs at or after `when`. Timers
    // due at the same time run in the order they were set. May be called
    // from a handler.
    void At(Clock::time_point when, Handler onDue);

    // Runs until Stop() or the deadline; false when poll fails (errno tells why).
    bool Run(Clock::time_point deadline);

    // Makes Run() return after the current handler.
    void Stop() { stopped_ = true; }

private:
    void RunDueTimers();

    struct Watched {
        int fd;
        Handler onReadable;
    };
    std::vector<Watched> watches_;
    std::multimap<Clock::time_point, Handler> timers_;
    bool stopped_ = false;
};

}  // namespace camsim
