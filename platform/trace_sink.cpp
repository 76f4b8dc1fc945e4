#include "trace_sink.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "visible_text.h"

namespace platform {
namespace {

std::mutex sinkMutex;
TraceSink currentSink;  // empty: the system log

constexpr int kUserDebug = (1 << 3) | 7;  // LOG_USER | LOG_DEBUG

}  // namespace

void SetTraceSink(TraceSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    currentSink = std::move(sink);
}

void EmitTrace(std::string_view line) {
    // Lines carry camera texts: every sink gets them visible, one trace line
    // one line. A line break at the end is the line's own end, not its text.
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    const std::string visible = VisibleText(line);
    {
        std::lock_guard<std::mutex> lock(sinkMutex);
        if (currentSink) {
            currentSink(visible);
            return;
        }
    }
    SendSyslogDatagram("/dev/log", "vantrel", visible);
}

bool SendSyslogDatagram(const char* socketPath, std::string_view ident, std::string_view line) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (std::strlen(socketPath) >= sizeof addr.sun_path) return false;
    std::strcpy(addr.sun_path, socketPath);

    // RFC 3164 layout, as the classic syslog() writes it: "<PRI>Mmm dd hh:mm:ss ident[pid]: text"
    char stamp[32] = "";
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    std::string datagram;
    datagram.reserve(line.size() + 64);
    char head[96];
    std::snprintf(head, sizeof head, "<%d>%s %.*s[%d]: ", kUserDebug, stamp, static_cast<int>(ident.size()),
                  ident.data(), static_cast<int>(getpid()));
    datagram += head;
    datagram += line;

    // A fresh non-blocking socket per line: nothing shared between threads, and a
    // full or missing log socket can only cost this one line.
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ssize_t sent = sendto(fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    close(fd);
    return sent == static_cast<ssize_t>(datagram.size());
}

}  // namespace platform
