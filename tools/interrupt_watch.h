#pragma once
// Ctrl-C (and SIGTERM, SIGHUP) for a command that must not stop halfway
// through a camera: the three are held back from every thread (threads
// started later inherit the mask), so a scan or an assignment in progress
// never sees an interrupted system call and its temporary route is removed
// as usual; a signal is taken only where the command can stop: between
// cameras and during its fixed waits.
#include <signal.h>

#include <chrono>

class InterruptWatch {
public:
    InterruptWatch();   // before any thread of the command starts
    ~InterruptWatch();  // the old mask again; a signal taken here stays taken
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // One of the three arrived by now (it stays true).
    bool Interrupted();
    // Waits `span` or until one of the three; true when interrupted.
    bool WaitFor(std::chrono::milliseconds span);
    // The shell's status for the signal taken: 130, 143 or 129.
    int ExitStatus() const { return 128 + seen; }

private:
    sigset_t previous{};
    int seen = 0;  // the signal taken
};
