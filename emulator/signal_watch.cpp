#include "signal_watch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace camsim {

SignalWatch::~SignalWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool SignalWatch::open() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    return fd_ >= 0;
}

bool SignalWatch::consume() {
    bool any = false;
    signalfd_siginfo info;
    while (::read(fd_, &info, sizeof(info)) == static_cast<ssize_t>(sizeof(info))) any = true;
    return any;
}

}  // namespace camsim
