#include "test_lan.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
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

std::vector<std::string> WithNamespace(const std::string& ns, const std::vector<std::string>& argv,
                                       bool unprivileged) {
    std::vector<std::string> full = {"ip", "netns", "exec", ns};
    if (unprivileged)
        full.insert(full.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

// Starts argv with standard output on a pipe (standard error stays the test's).
// `stderrPath`: a file that takes the program's standard error; empty: the test's own.
pid_t Spawn(const std::vector<std::string>& argv, int* readEnd, const std::string& stderrPath = {}) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        if (!stderrPath.empty()) {
            int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err < 0 || dup2(err, STDERR_FILENO) < 0) _exit(127);
        }
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, STDIN_FILENO);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
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
        std::fprintf(stderr, "test_lan: a program this test started ended with status %d: its sanitizer report "
                     "is above\n", kSanitizerExitStatus);
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
    int fd = -1;
    pid_t pid = Spawn(argv, &fd);
    if (pid < 0) return -1;
    LanProcess process(pid, fd);
    return process.Wait(std::chrono::seconds(30));
}

std::string TestLan::Unavailable() {
    static const std::string reason = [] {
        if (geteuid() != 0) return std::string("needs root to make network namespaces (CI runs as root)");
        if (RunQuietly({"ip", "-V"}) != 0) return std::string("the ip command (iproute2) is missing");
        const std::string probe = "vtprobe" + std::to_string(getpid());
        if (RunQuietly({"ip", "netns", "add", probe}) != 0)
            return std::string("ip netns add failed: no permission to make network namespaces here");
        RunQuietly({"ip", "netns", "del", probe});
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
    int fd = -1;
    pid_t pid = Spawn(argv, &fd);
    if (pid < 0) return ok_ = false;
    LanProcess process(pid, fd);
    int status = process.Wait(std::chrono::seconds(60));
    if (status != 0) {
        std::string shown;
        for (const std::string& a : args) shown += " " + a;
        std::fprintf(stderr, "testlan.sh%s failed with status %d\n", shown.c_str(), status);
        ok_ = false;
    }
    return status == 0;
}

void TestLan::AddLan(const std::string& lan) { Script({"lan", prefix_, lan}); }

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

std::unique_ptr<LanProcess> StartHere(const std::vector<std::string>& argv, const std::string& stderrPath) {
    int fd = -1;
    pid_t pid = Spawn(argv, &fd, stderrPath);
    if (pid < 0) return nullptr;
    return std::make_unique<LanProcess>(pid, fd);
}

std::unique_ptr<LanProcess> TestLan::Start(const std::string& host, const std::vector<std::string>& argv,
                                           bool unprivileged, const std::string& stderrPath) {
    int fd = -1;
    pid_t pid = Spawn(WithNamespace(Namespace(host), argv, unprivileged), &fd, stderrPath);
    if (pid < 0) return nullptr;
    return std::make_unique<LanProcess>(pid, fd);
}

int TestLan::Run(const std::string& host, const std::vector<std::string>& argv, std::string* output,
                 bool unprivileged, std::chrono::milliseconds timeout, std::string* errors) {
    const std::string errorPath = errors && !copies_.empty() ? copies_ + "/stderr" : std::string();
    auto process = Start(host, argv, unprivileged, errorPath);
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
        int fd = open(("/var/run/netns/" + Namespace(host)).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        entered = setns(fd, CLONE_NEWNET) == 0;
        close(fd);
        if (entered) work();
    });
    inside.join();
    return entered;
}

std::unique_ptr<LanProcess> TestLan::StartAvahi(const std::string& host, const std::string& dir) {
    int fd = -1;
    pid_t pid = Spawn({"sh", TESTLAN_SCRIPT, "avahi", Namespace(host), dir}, &fd);
    if (pid < 0) return nullptr;
    return std::make_unique<LanProcess>(pid, fd);
}

std::string TestLan::Executable(const std::string& path) {
    std::string copy = copies_ + "/" + std::filesystem::path(path).filename().string();
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    chmod(copy.c_str(), 0755);
    return copy;
}
