#pragma once
// SIGINT, SIGTERM and SIGHUP end a front end only after the routes it holds
// are removed, with the shell's status for the signal (130, 143, 129).
#include <signal.h>

namespace platform {

// SIGINT, SIGTERM and SIGHUP.
sigset_t ExitSignals();

// Blocks the three in the calling thread (threads started later inherit the
// mask) and starts a thread that waits for them: on one, every route this
// process holds is removed and the process ends with 128 + the signal. Call
// it first thing in main, before any thread starts.
void EndOnExitSignalsWithoutRoutes();

}  // namespace platform
