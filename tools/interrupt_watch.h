#pragma once
// Ctrl-C for a command that must not stop halfway through a camera: SIGINT is
// held back from every thread (threads started later inherit the mask), so a
// scan or an assignment in progress never sees an interrupted system call,
// and it is taken only where the command can stop: between cameras and
// during its fixed waits.
#include <signal.h>

#include <chrono>

class InterruptWatch {
public:
    InterruptWatch();   // before any thread of the command starts
    ~InterruptWatch();  // the old mask again; a SIGINT taken here stays taken
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // A SIGINT arrived by now (it stays true).
    bool Interrupted();
    // Waits `span` or until SIGINT; true when interrupted.
    bool WaitFor(std::chrono::milliseconds span);

private:
    sigset_t previous{};
    bool seen = false;
};
