#include "exit_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <thread>

#include "routes.h"

namespace platform {

sigset_t ExitSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void EndOnExitSignalsWithoutRoutes() {
    const sigset_t set = ExitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        ReleaseAllRoutes();
        _exit(128 + signal);
    }).detach();
}

}  // namespace platform
