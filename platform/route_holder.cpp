#include "route_holder.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace platform {

bool HolderRuns(uint32_t holder, uid_t& user) {
    user = static_cast<uid_t>(-1);
    // Metrics the kernel or other programs chose are no process ids of ours; 1 is init.
    if (holder <= 1 || holder > 0x3fffff) return false;
    const pid_t pid = static_cast<pid_t>(holder);
    // EPERM: it runs, as another user.
    if (kill(pid, 0) != 0 && errno != EPERM) return false;
    struct stat process {};
    if (stat(("/proc/" + std::to_string(holder)).c_str(), &process) == 0) user = process.st_uid;
    return true;
}

}  // namespace platform
