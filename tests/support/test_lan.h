#pragma once
// A private LAN of network namespaces for one test: bridges ("lans"), a "pc"
// and camera hosts. Everything it makes carries a unique prefix and is removed
// when the object goes, also when the test failed.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The exit status of a sanitized program that met an error or a leak
// (scripts/test.sh sets it); a program started here that ends so ends the test.
constexpr int kSanitizerExitStatus = 86;

// A program started inside a namespace, with its standard output on a pipe.
class LanProcess {
public:
    LanProcess(pid_t pid, int stdoutFd) : pid_(pid), out_(stdoutFd) {}
    ~LanProcess();  // SIGTERM, then waits for it
    LanProcess(const LanProcess&) = delete;
    LanProcess& operator=(const LanProcess&) = delete;

    // Waits until the program printed `line` as a whole line; false on time-out or exit.
    bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout);
    // Waits until the program's output holds `text` anywhere; false on time-out or exit.
    bool WaitForText(const std::string& text, std::chrono::milliseconds timeout);
    // Waits for the program to end and returns its exit status (-1 on time-out, then killed).
    int Wait(std::chrono::milliseconds timeout);
    // Sends `signal` to the program unless it has ended.
    void Signal(int signal);
    // Everything read from standard output so far (Wait reads the rest).
    const std::string& Output() const { return seen_; }

private:
    bool ReadSome(int timeoutMs);
    pid_t pid_;
    int out_;
    std::string seen_;
    bool ended_ = false;
    int status_ = -1;
};

// Who a started program runs as: root, or user and group 65534 with the
// supplementary groups given (none unless told).
struct RunAs {
    RunAs(bool unprivileged = false) : unprivileged(unprivileged) {}
    static RunAs Member(gid_t group) {
        RunAs who(true);
        who.groups = {group};
        return who;
    }
    bool unprivileged;
    std::vector<gid_t> groups;
};

// How a program is started; it is exec'd directly, with no shell or helper
// program between, so its exit status and signals are its own.
struct Launch {
    std::string netns;  // network namespace to run in; empty: this process's
    RunAs who;
    std::string stdinPath = "/dev/null";
    std::string stderrPath;               // empty: the test's own standard error
    bool stderrOnStdout = false;          // standard error on the pipe too (a daemon that logs there)
    unsigned long long addressSpace = 0;  // nonzero: its RLIMIT_AS in bytes
};

// Starts argv as `how` says, its standard output on a pipe; null when it cannot
// be started. A program that cannot be run ends with 126 (found, not
// executable) or 127, as a shell's exec would.
std::unique_ptr<LanProcess> Start(const std::vector<std::string>& argv, const Launch& how);
// Starts argv here, in this process's own network namespace (loopback tests);
// its standard error goes to `stderrPath` when one is given.
std::unique_ptr<LanProcess> StartHere(const std::vector<std::string>& argv, const std::string& stderrPath = {});

// The calling thread in a network namespace of a test LAN until the object
// goes, then home again (before the LAN is removed, which ends every process inside).
class NetnsVisit {
public:
    explicit NetnsVisit(const std::string& ns);
    ~NetnsVisit();
    NetnsVisit(const NetnsVisit&) = delete;
    NetnsVisit& operator=(const NetnsVisit&) = delete;
    // The namespace's file, to setns() to; -1 when there is none.
    static int Open(const std::string& ns);
    bool entered = false;

private:
    int home_;
};

class TestLan {
public:
    // Empty when namespaces can be made here, else why not.
    static std::string Unavailable();

    TestLan();
    ~TestLan();
    TestLan(const TestLan&) = delete;
    TestLan& operator=(const TestLan&) = delete;

    void AddLan(const std::string& lan);
    // Adds a link `ifname` on `lan` to `host` (made on first use) with these addresses ("10.1.0.2/24").
    void AddHost(const std::string& host, const std::string& lan, const std::string& ifname,
                 const std::vector<std::string>& addresses);
    // `ip route` inside the host, e.g. {"add", "default", "dev", "eth0"}.
    void Route(const std::string& host, const std::vector<std::string>& args);
    std::string Namespace(const std::string& host) const { return prefix_ + host; }
    // False when a step of building failed (the failing command is printed).
    bool Ok() const { return ok_; }

    // The LAN most tests stand on: bridge "lan" with the pc (eth0 at `pc`, no
    // default route) and host "cams" (eth0 at `cams`, e.g. BasicRange(10, 13)).
    // Ok() afterwards.
    bool AddBasic(const std::vector<std::string>& cams, const std::vector<std::string>& pc = {"10.77.0.2/24"});

    // Starts argv inside the host as `who`; its standard error goes to
    // `stderrPath` when one is given.
    std::unique_ptr<LanProcess> Start(const std::string& host, const std::vector<std::string>& argv, RunAs who = {},
                                      const std::string& stderrPath = {});
    // Runs argv inside the host to its end; returns its exit status and standard
    // output, and its standard error when `errors` is given.
    int Run(const std::string& host, const std::vector<std::string>& argv, std::string* output = nullptr,
            RunAs who = {}, std::chrono::milliseconds timeout = std::chrono::seconds(120),
            std::string* errors = nullptr);

    // Runs `work` on a new thread that has entered the host's namespace; threads it
    // starts stay there too. Returns false when the namespace could not be entered.
    bool RunInside(const std::string& host, const std::function<void()>& work);

    // Starts the fixture script's `avahi` command for `host` with the files in `dir`.
    std::unique_ptr<LanProcess> StartAvahi(const std::string& host, const std::string& dir);

    // A copy of a program that user 65534 may run, wherever the build tree lives.
    std::string Executable(const std::string& path);
    // A path for a file of this LAN's (a plan, a configuration), removed with it.
    std::string File(const std::string& name) const { return copies_ + "/" + name; }

private:
    bool Script(const std::vector<std::string>& args);
    std::string prefix_;
    std::string copies_;
    bool ok_ = true;
};

// "10.77.0.first/24" to "10.77.0.last/24": camera addresses on the basic LAN.
std::vector<std::string> BasicRange(int first, int last);

// Skips the running test with the reason when namespaces cannot be made.
#define SKIP_WITHOUT_TEST_LAN()                                              \
    do {                                                                     \
        const std::string why_ = TestLan::Unavailable();                     \
        if (!why_.empty()) GTEST_SKIP() << "test LAN unavailable: " << why_; \
    } while (0)
