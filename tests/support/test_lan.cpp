#include "test_lan.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Starts argv as `how` says, its standard output on a pipe. Everything the
// child needs is made before the fork: between fork and exec it only makes
// system calls.
pid_t Spawn(const std::vector<std::string>& argv, const Launch& how, int* readEnd) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int in = open(how.stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
    const int err =
        how.stderrPath.empty() ? -1 : open(how.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int ns = how.netns.empty() ? -1 : NetnsVisit::Open(how.netns);
    struct statvfs sys {};
    const unsigned long sysFlags = statvfs("/sys", &sys) == 0 && (sys.f_flag & ST_RDONLY) ? MS_RDONLY : 0;
    int pipeFds[2] = {-1, -1};
    pid_t pid = -1;
    if (in >= 0 && (err >= 0 || how.stderrPath.empty()) && (ns >= 0 || how.netns.empty()) &&
        pipe2(pipeFds, O_CLOEXEC) == 0)
        pid = fork();
    if (pid == 0) {
        if (dup2(pipeFds[1], STDOUT_FILENO) < 0 || dup2(in, STDIN_FILENO) < 0 ||
            (err >= 0 && dup2(err, STDERR_FILENO) < 0) || (how.stderrOnStdout && dup2(pipeFds[1], STDERR_FILENO) < 0))
            _exit(127);
        // As `ip netns exec` does: the namespace's own /sys, in a mount
        // namespace of the child's, so that /sys/class/net shows its links.
        if (ns >= 0 &&
            (setns(ns, CLONE_NEWNET) != 0 || unshare(CLONE_NEWNS) != 0 ||
             mount(nullptr, "/", nullptr, MS_SLAVE | MS_REC, nullptr) != 0 || umount2("/sys", MNT_DETACH) != 0 ||
             mount(how.netns.c_str(), "/sys", "sysfs", sysFlags, nullptr) != 0))
            _exit(127);
        const rlimit limit{how.addressSpace, how.addressSpace};
        if (how.addressSpace && setrlimit(RLIMIT_AS, &limit) != 0) _exit(99);
        // setuid from root drops every capability: the exec is checked with
        // the user's own rights, as when they start the program themselves.
        if (how.who.unprivileged &&
            (setgroups(how.who.groups.size(), how.who.groups.data()) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(127);
        execvp(args[0], args.data());
        _exit(errno == ENOENT ? 127 : 126);
    }
    for (const int fd : {in, err, ns, pipeFds[1]})
        if (fd >= 0) close(fd);
    if (pid < 0) {
        if (pipeFds[0] >= 0) close(pipeFds[0]);
        return -1;
    }
    *readEnd = pipeFds[0];
    return pid;
}

std::atomic<int> lanCounter{0};

}  // namespace

LanProcess::~LanProcess() {
    if (!ended_) {
        kill(pid_, SIGTERM);
        if (Wait(std::chrono::seconds(10)) == -1 && !ended_) kill(pid_, SIGKILL);
    }
    if (out_ >= 0) close(out_);
    if (status_ == kSanitizerExitStatus) {
        std::fprintf(stderr,
                     "test_lan: a program this test started ended with status %d: its sanitizer report "
                     "is above\n",
                     kSanitizerExitStatus);
        std::abort();
    }
}

bool LanProcess::ReadSome(int timeoutMs) {
    pollfd p{out_, POLLIN, 0};
    if (out_ < 0 || poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
        close(out_);
        out_ = -1;
        return false;
    }
    seen_.append(buffer, n);
    return true;
}

bool LanProcess::WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (("\n" + seen_).find("\n" + line + "\n") != std::string::npos) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || out_ < 0) return false;
        ReadSome(static_cast<int>(left));
    }
}

void LanProcess::Signal(int signal) {
    if (!ended_) kill(pid_, signal);
}

bool LanProcess::WaitForText(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (seen_.find(text) != std::string::npos) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || out_ < 0) return false;
        ReadSome(static_cast<int>(left));
    }
}

int LanProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!ended_) {
        // Drain the pipe so that a chatty program cannot block on a full pipe.
        while (out_ >= 0 && ReadSome(0)) {
        }
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            ended_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            ended_ = true;
            return -1;
        }
        if (out_ >= 0)
            ReadSome(50);  // wakes at once on output or end of file
        else
            poll(nullptr, 0, 20);  // stdout closed: the exit is near, check again shortly
    }
    while (out_ >= 0 && ReadSome(0)) {
    }
    return status_;
}

// Runs argv to its end without a shell; its exit status.
int RunQuietly(const std::vector<std::string>& argv) {
    auto process = Start(argv, Launch{});
    return process ? process->Wait(std::chrono::seconds(30)) : -1;
}

std::string TestLan::Unavailable() {
    static const std::string reason = [] {
        if (geteuid() != 0) return std::string("needs root to make network namespaces (CI runs as root)");
        if (RunQuietly({"ip", "-V"}) != 0) return std::string("the ip command (iproute2) is missing");
        const std::string probe = "vtprobe" + std::to_string(getpid());
        if (RunQuietly({"ip", "netns", "add", probe}) != 0)
            return std::string("ip netns add failed: no permission to make network namespaces here");
        // Entering one remounts / as a slave and /sys for the namespace: where /
        // is no mount point (a bare chroot) that fails, and so would every LAN.
        const int entered = RunQuietly({"ip", "netns", "exec", probe, "ip", "link", "set", "lo", "up"});
        RunQuietly({"ip", "netns", "del", probe});
        if (entered != 0)
            return std::string(
                "ip netns exec failed: a namespace cannot be entered here (is / a mount point? "
                "`mount --bind / /` in a bare chroot)");
        return std::string();
    }();
    return reason;
}

TestLan::TestLan() {
    prefix_ = "vt" + std::to_string(getpid()) + "x" + std::to_string(lanCounter++) + "-";
    if (!Unavailable().empty()) {
        ok_ = false;
        return;
    }
    Script({"sweep"});  // namespaces of earlier test processes that were killed
    char dir[] = "/tmp/vantrel-lan-XXXXXX";
    if (mkdtemp(dir)) {
        copies_ = dir;
        chmod(dir, 0755);
    }
}

TestLan::~TestLan() {
    if (Unavailable().empty()) Script({"down", prefix_});
    if (!copies_.empty()) std::filesystem::remove_all(copies_);
}

bool TestLan::Script(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"sh", TESTLAN_SCRIPT};
    argv.insert(argv.end(), args.begin(), args.end());
    auto process = ::Start(argv, Launch{});
    const int status = process ? process->Wait(std::chrono::seconds(60)) : -1;
    if (status != 0) {
        std::string shown;
        for (const std::string& a : args) shown += " " + a;
        std::fprintf(stderr, "testlan.sh%s failed with status %d\n", shown.c_str(), status);
        ok_ = false;
    }
    return status == 0;
}

void TestLan::AddLan(const std::string& lan) { Script({"lan", prefix_, lan}); }

bool TestLan::AddBasic(const std::vector<std::string>& cams, const std::vector<std::string>& pc) {
    AddLan("lan");
    AddHost("pc", "lan", "eth0", pc);
    AddHost("cams", "lan", "eth0", cams);
    return ok_;
}

std::vector<std::string> BasicRange(int first, int last) {
    std::vector<std::string> addresses;
    for (int i = first; i <= last; ++i) addresses.push_back("10.77.0." + std::to_string(i) + "/24");
    return addresses;
}

void TestLan::AddHost(const std::string& host, const std::string& lan, const std::string& ifname,
                      const std::vector<std::string>& addresses) {
    std::vector<std::string> args = {"host", prefix_, host, lan, ifname};
    args.insert(args.end(), addresses.begin(), addresses.end());
    Script(args);
}

void TestLan::Route(const std::string& host, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"route", prefix_, host};
    all.insert(all.end(), args.begin(), args.end());
    Script(all);
}

std::unique_ptr<LanProcess> Start(const std::vector<std::string>& argv, const Launch& how) {
    int fd = -1;
    const pid_t pid = Spawn(argv, how, &fd);
    return pid < 0 ? nullptr : std::make_unique<LanProcess>(pid, fd);
}

std::unique_ptr<LanProcess> StartHere(const std::vector<std::string>& argv, const std::string& stderrPath) {
    Launch how;
    how.stderrPath = stderrPath;
    return Start(argv, how);
}

std::unique_ptr<LanProcess> TestLan::Start(const std::string& host, const std::vector<std::string>& argv, RunAs who,
                                           const std::string& stderrPath) {
    return ::Start(argv, {.netns = Namespace(host), .who = std::move(who), .stderrPath = stderrPath});
}

int TestLan::Run(const std::string& host, const std::vector<std::string>& argv, std::string* output, RunAs who,
                 std::chrono::milliseconds timeout, std::string* errors) {
    const std::string errorPath = errors && !copies_.empty() ? copies_ + "/stderr" : std::string();
    auto process = Start(host, argv, std::move(who), errorPath);
    if (!process) return -1;
    int status = process->Wait(timeout);
    if (output) *output = process->Output();
    if (errors) {
        std::ifstream file(errorPath);
        errors->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return status;
}

bool TestLan::RunInside(const std::string& host, const std::function<void()>& work) {
    bool entered = false;
    std::thread inside([&] {
        NetnsVisit visit(Namespace(host));
        if ((entered = visit.entered)) work();
    });
    inside.join();
    return entered;
}

int NetnsVisit::Open(const std::string& ns) { return open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC); }

NetnsVisit::NetnsVisit(const std::string& ns) : home_(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)) {
    const int target = Open(ns);
    entered = home_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) close(target);
}

NetnsVisit::~NetnsVisit() {
    if (home_ < 0) return;
    setns(home_, CLONE_NEWNET);
    close(home_);
}

std::unique_ptr<LanProcess> TestLan::StartAvahi(const std::string& host, const std::string& dir) {
    return ::Start({"sh", TESTLAN_SCRIPT, "avahi", Namespace(host), dir}, Launch{});
}

std::string TestLan::Executable(const std::string& path) {
    std::string copy = copies_ + "/" + std::filesystem::path(path).filename().string();
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    chmod(copy.c_str(), 0755);
    return copy;
}
