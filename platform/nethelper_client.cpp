#include "nethelper_client.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "deadline_wait.h"
#include "exit_signals.h"
#include "owned_fd.h"

#ifndef VANTREL_NETHELPER_INSTALLED
#define VANTREL_NETHELPER_INSTALLED "/usr/libexec/vantrel/vantrel-nethelper"
#endif

namespace platform {
namespace {

// A route is answered at once and a probe (of all its addresses) within about a second.
constexpr std::chrono::milliseconds kHelperTime{5000};

std::string OwnFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

// Reads the child's standard output to its end or to the deadline.
bool ReadAll(int fd, std::string& text) {
    const WaitClock::time_point until = WaitClock::now() + kHelperTime;
    for (;;) {
        // Checked before each read: a child that never stops writing still ends at the deadline.
        if (MsLeft(until) == 0) return false;
        if (WaitReadable(fd, until) != Waited::Ready) return false;
        char chunk[256];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        if (text.size() < kMaxAnswerBytes) text.append(chunk, static_cast<size_t>(n));
    }
}

// Why this user may not run the file at `path`: the package lets only its
// group run the helper.
std::string Barred(const std::string& path) {
    if (access(path.c_str(), X_OK) == 0) return {};
    const int error = errno;
    struct stat file {};
    if (stat(path.c_str(), &file) == 0 && (file.st_mode & S_IXGRP) && !(file.st_mode & S_IXOTH)) {
        group entry{};
        group* owner = nullptr;
        char buffer[4096];
        getgrgid_r(file.st_gid, &entry, buffer, sizeof buffer, &owner);
        return "not in group " + (owner ? std::string(owner->gr_name) : std::to_string(file.st_gid));
    }
    return std::string("may not be run: ") + std::strerror(error);
}

}  // namespace

std::string NetHelperPath() {
    const std::string own = OwnFolder();
    std::vector<std::string> candidates;
    if (!own.empty()) {
        candidates.push_back(own + "/vantrel-nethelper");
        candidates.push_back(own + "/../libexec/vantrel/vantrel-nethelper");
    }
    candidates.push_back(VANTREL_NETHELPER_INSTALLED);
    for (const std::string& path : candidates) {
        struct stat file {};
        if (stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode)) return path;
    }
    return {};
}

HelperRun RunNetHelper(const HelperRequest& request) {
    HelperRun run;
    run.path = NetHelperPath();
    if (run.path.empty()) return run;
    run.barred = Barred(run.path);
    if (!run.barred.empty()) return run;

    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) return run;
    OwnedFd readEnd(channel[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);

    std::vector<std::string> arguments = HelperArguments(request);
    arguments.insert(arguments.begin(), run.path);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    char* noEnvironment[] = {nullptr};
    // Whatever signals the caller ignores, the helper starts with their defaults; SIGINT, SIGTERM
    // and SIGHUP wait until it is done (a Ctrl-C reaches the whole process group), so that a route
    // it adds is always answered, and so held and removed by the program.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    const sigset_t exitSignals = ExitSignals();
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &exitSignals);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, run.path.c_str(), &actions, &attributes, argv.data(), noEnvironment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    if (spawned != 0) return run;

    std::string text;
    const bool ended = ReadAll(readEnd.get(), text);
    if (!ended) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.ran = ended && WIFEXITED(status);
    run.answer = ReadHelperAnswer(text);
    if (request.verb == HelperVerb::ArpProbe) run.probes = ReadProbeAnswers(text, request.probed.size());
    return run;
}

}  // namespace platform
