#pragma once
// A camera's web server that misbehaves on cue: every connection gets a
// fixed reply, written as it stands (cut bodies, bad framing), and then the
// connection is closed, reset, or held open without another byte.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class ScriptedHttp {
public:
    enum class End { Close, Reset, Stall };

    // Replies by request: the first whose key occurs in the request line.
    using Script = std::vector<std::pair<std::string, std::string>>;

    ScriptedHttp(const std::string& ip, int port, std::string reply, End end)
        : ScriptedHttp(ip, port, Script{{"", std::move(reply)}}, end) {}
    ScriptedHttp(const std::string& ip, int port, Script script, End end) : script_(std::move(script)), end_(end) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, ip.c_str(), &at.sin_addr);
        ready_ = bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(listener_, 8) == 0 &&
                 pipe2(wake_, O_CLOEXEC) == 0;
        if (ready_) thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedHttp() {
        if (thread_.joinable()) {
            (void)!write(wake_[1], "x", 1);
            thread_.join();
        }
        for (int fd : held_) close(fd);
        for (int fd : {listener_, wake_[0], wake_[1]})
            if (fd >= 0) close(fd);
    }
    ScriptedHttp(const ScriptedHttp&) = delete;
    ScriptedHttp& operator=(const ScriptedHttp&) = delete;

    bool Ready() const { return ready_; }
    // The request line of every connection so far ("GET /set.oid?... HTTP/1.1").
    std::vector<std::string> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    bool Received(const std::string& requestLine) const {
        for (const std::string& line : Requests())
            if (line == requestLine) return true;
        return false;
    }

private:
    void Serve() {
        for (;;) {
            pollfd wait[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (poll(wait, 2, -1) < 0 || wait[1].revents) return;
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            // The request head; a client that never finishes it cannot hold the server.
            const timeval limit{5, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            std::string head;
            char chunk[2048];
            while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) break;
                head.append(chunk, static_cast<std::size_t>(n));
            }
            const std::string line = head.substr(0, head.find("\r\n"));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(line);
            }
            for (const auto& [key, reply] : script_)
                if (line.find(key) != std::string::npos) {
                    send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                    break;
                }
            if (end_ == End::Stall) {
                held_.push_back(fd);
                continue;
            }
            if (end_ == End::Reset) {
                const linger abort{1, 0};  // close sends RST
                setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
            close(fd);
        }
    }

    const Script script_;
    const End end_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    bool ready_ = false;
    std::thread thread_;
    std::vector<int> held_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};
