// The trace line and its system-log sink.
#include "debug_trace.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "trace_sink.h"
#include "trace_capture.h"

namespace {

TEST(DebugTrace, FormatsAndCutsAt199Characters) {
    TraceCapture trace;
    EXPECT_EQ(DebugTrace("Got %d drovik replies", 7), 0);
    DebugTrace("%s", std::string(250, 'x').c_str());
    auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Got 7 drovik replies");
    EXPECT_EQ(lines[1], std::string(199, 'x'));
}

// A datagram socket standing in for /dev/log.
class LogSocket {
public:
    LogSocket() {
        char dir[] = "/tmp/vantrel-log-XXXXXX";
        dir_ = mkdtemp(dir);
        path_ = dir_ + "/log";
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path_.c_str());
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    ~LogSocket() {
        close(fd_);
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    std::string Read() {
        char buffer[512];
        ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        return n > 0 ? std::string(buffer, n) : std::string();
    }
    const char* Path() const { return path_.c_str(); }

private:
    std::string dir_, path_;
    int fd_ = -1;
};

TEST(SyslogSink, OneDebugDatagramWithIdentAndPid) {
    LogSocket log;
    ASSERT_TRUE(platform::SendSyslogDatagram(log.Path(), "vantrel", "Got 3 drovik replies"));
    std::string datagram = log.Read();
    EXPECT_EQ(datagram.rfind("<15>", 0), 0u) << datagram;  // user facility, debug priority
    std::string tail = "vantrel[" + std::to_string(getpid()) + "]: Got 3 drovik replies";
    ASSERT_GE(datagram.size(), tail.size());
    EXPECT_EQ(datagram.substr(datagram.size() - tail.size()), tail);
}

TEST(SyslogSink, NeverBlocksWhenNobodyReads) {
    LogSocket log;
    int sent = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5000; ++i) sent += platform::SendSyslogDatagram(log.Path(), "vantrel", "flood line");
    EXPECT_LT(sent, 5000);  // the queue filled and later lines were dropped, not waited for
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_FALSE(platform::SendSyslogDatagram("/nonexistent/vantrel/log", "vantrel", "x"));
}

}  // namespace
