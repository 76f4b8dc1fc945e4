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
    // Sends `signal` to the program (started directly or through ip netns exec,
    // which runs it in its own process) unless it has ended.
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

// Starts argv here, in this process's own network namespace (loopback tests);
// its standard error goes to `stderrPath` when one is given.
std::unique_ptr<LanProcess> StartHere(const std::vector<std::string>& argv, const std::string& stderrPath = {});

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

    // Starts argv inside the host; as user and group 65534 when `unprivileged`;
    // its standard error goes to `stderrPath` when one is given.
    std::unique_ptr<LanProcess> Start(const std::string& host, const std::vector<std::string>& argv,
                                      bool unprivileged = false, const std::string& stderrPath = {});
    // Runs argv inside the host to its end; returns its exit status and standard
    // output, and its standard error when `errors` is given.
    int Run(const std::string& host, const std::vector<std::string>& argv, std::string* output = nullptr,
            bool unprivileged = false, std::chrono::milliseconds timeout = std::chrono::seconds(120),
            std::string* errors = nullptr);

    // Runs `work` on a new thread that has entered the host's namespace; threads it
    // starts stay there too. Returns false when the namespace could not be entered.
    bool RunInside(const std::string& host, const std::function<void()>& work);

    // Starts the fixture script's `avahi` command for `host` with the files in `dir`.
    std::unique_ptr<LanProcess> StartAvahi(const std::string& host, const std::string& dir);

    // A copy of a program that user 65534 may run, wherever the build tree lives.
    std::string Executable(const std::string& path);

private:
    bool Script(const std::vector<std::string>& args);
    std::string prefix_;
    std::string copies_;
    bool ok_ = true;
};

// Skips the running test with the reason when namespaces cannot be made.
#define SKIP_WITHOUT_TEST_LAN()                                          \
    do {                                                                 \
        const std::string why_ = TestLan::Unavailable();                 \
        if (!why_.empty()) GTEST_SKIP() << "test LAN unavailable: " << why_; \
    } while (0)
