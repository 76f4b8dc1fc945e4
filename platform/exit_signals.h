#pragma once
// SIGINT, SIGTERM and SIGHUP end a front end only after the routes it holds
// are removed, with the shell's status for the signal (130, 143, 129).
#include <signal.h>

namespace platform {

// SIGINT, SIGTERM and SIGHUP.
sigset_t ExitSignals();

// Blocks the three in the calling thread; threads started later inherit the mask.
void BlockExitSignals();

// For vantrel-cli, which starts no program but the helper (and gives it a
// mask of its own): blocks the three (call it before any thread starts) and
// starts a thread that waits for them, then removes every route this
// process holds and ends it with 128 + the signal.
void EndOnExitSignalsWithoutRoutes();

// For the window, whose browser and other programs must inherit an open
// mask: the same end, from a handler that only wakes that thread.
void EndOnExitSignalsWithoutRoutesKeepingMask();

}  // namespace platform
