#include "exit_signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "routes.h"

namespace platform {
namespace {

// The handler's only way out: it may do no more than write one byte.
int wakeFd = -1;

void Wake(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    (void)!write(wakeFd, &number, 1);
    errno = saved;
}

}  // namespace

sigset_t ExitSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void BlockExitSignals() {
    const sigset_t set = ExitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void EndOnExitSignalsWithoutRoutes() {
    BlockExitSignals();
    const sigset_t set = ExitSignals();
    std::thread([set] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        EndWithoutRoutes(128 + signal);
    }).detach();
}

void EndOnExitSignalsWithoutRoutesKeepingMask() {
    int wake[2];
    if (pipe2(wake, O_CLOEXEC) != 0) return;
    wakeFd = wake[1];
    std::thread([readEnd = wake[0]] {
        BlockExitSignals();  // the handler runs in the other threads
        unsigned char signal = 0;
        while (read(readEnd, &signal, 1) != 1) {
        }
        EndWithoutRoutes(128 + signal);
    }).detach();
    struct sigaction action {};
    action.sa_handler = Wake;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace platform
