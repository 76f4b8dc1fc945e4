#pragma once
// A camera's OID service played inside a test, in the camera's place on
// ip:35777, read from the protocol tables: the version, the nonce, reads and
// writes of both generations; a digest not made from its current nonce is
// refused with a fresh one. Each stand-in misbehaves in one way.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "md5.h"

class OidStandIn {
public:
    enum class Fault {
        LateNonce,   // the nonce reply leaves 0.7 s after its request
        NonceTwice,  // the nonce reply leaves twice, and once more before each OID answer
        Forged,      // each read is first answered "Spoofed" from ip:35778 and from the next address
    };
    static constexpr uint8_t kFirstNonce[16] = {0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8,
                                                0xa9, 0xaa, 0xab, 0xac, 0xad, 0xae, 0xaf, 0xb0};

    // Its OIDs: "2.4" "Cam<last number of ip>", "2.17" "CET".
    OidStandIn(const std::string& ip, int generation, Fault fault)
        : generation(generation), fault(fault), oids{{"2.4", "Cam" + ip.substr(ip.rfind('.') + 1)}, {"2.17", "CET"}} {
        const in_addr_t at = inet_addr(ip.c_str());
        sock = Bound(at, 35777);
        if (fault == Fault::Forged) {
            fromPort = Bound(at, 35778);
            fromAddress = Bound(htonl(ntohl(at) + 1), 35777);
        }
        std::memcpy(nonce, kFirstNonce, sizeof nonce);
        thread = std::thread([this] { Serve(); });
    }
    ~OidStandIn() {
        const uint64_t one = 1;
        if (write(stop, &one, sizeof one) != sizeof one) std::perror("OidStandIn stop");
        thread.join();
        for (int fd : {sock, fromPort, fromAddress, stop})
            if (fd >= 0) close(fd);
    }
    OidStandIn(const OidStandIn&) = delete;
    OidStandIn& operator=(const OidStandIn&) = delete;

    std::string Value(const std::string& oid) {
        std::lock_guard lock(mutex);
        return oids[oid];
    }
    // The command bytes of the requests it heard, in order: "7 16 15 ".
    std::string Heard() {
        std::lock_guard lock(mutex);
        return heard;
    }
    int Forgeries() {
        std::lock_guard lock(mutex);
        return forgeries;
    }

private:
    using Bytes = std::vector<uint8_t>;
    using Clock = std::chrono::steady_clock;

    static int Bound(in_addr_t address, int port) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<uint16_t>(port));
        at.sin_addr.s_addr = address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0) << "port " << port;
        return fd;
    }
    static void SendTo(int fd, const Bytes& bytes, const sockaddr_in& to) {
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    // MD5 of "<nonce hex>:root:QIVNEP", the administrator's default password in upper case.
    bool DigestFits(const uint8_t* digest) const {
        char text[64];
        int n = 0;
        for (uint8_t b : nonce) n += std::snprintf(text + n, sizeof text - n, "%02x", b);
        n += std::snprintf(text + n, sizeof text - n, ":root:QIVNEP");
        Md5Context context;
        uint8_t expected[16];
        Md5Start(context);
        Md5Feed(context, text, static_cast<std::size_t>(n));
        Md5Finish(context, expected);
        return std::memcmp(digest, expected, 16) == 0;
    }

    void Serve() {
        std::vector<std::pair<Clock::time_point, std::pair<Bytes, sockaddr_in>>> late;
        for (;;) {
            int waitMs = -1;
            if (!late.empty()) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(late.front().first - Clock::now());
                waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
            }
            pollfd fds[2] = {{sock, POLLIN, 0}, {stop, POLLIN, 0}};
            poll(fds, 2, waitMs);
            if (fds[1].revents) return;
            while (!late.empty() && late.front().first <= Clock::now()) {
                SendTo(sock, late.front().second.first, late.front().second.second);
                late.erase(late.begin());
            }
            if (!(fds[0].revents & POLLIN)) continue;
            uint8_t request[200];
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n =
                recvfrom(sock, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 1) continue;
            std::lock_guard lock(mutex);
            heard += std::to_string(request[0]) + " ";
            const bool fourth = generation > 3;
            if (request[0] == 7 && n == 1) {
                SendTo(sock, {0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(generation)}, from);
            } else if (fourth ? request[0] == 46 && n == 2 : request[0] == 16 && n == 1) {
                nonceReply = {0, 0, 0, 0};
                if (fourth) nonceReply.insert(nonceReply.end(), {46, request[1]});
                nonceReply.insert(nonceReply.end(), nonce, nonce + 16);
                if (fault == Fault::LateNonce) {
                    late.push_back({Clock::now() + std::chrono::milliseconds(700), {nonceReply, from}});
                } else {
                    SendTo(sock, nonceReply, from);
                    if (fault == Fault::NonceTwice) SendTo(sock, nonceReply, from);
                }
            } else if (request[0] == (fourth ? 45 : 15) && n >= (fourth ? 24 : 23) && request[n - 1] == 0) {
                Answer(request, static_cast<std::size_t>(n), from);
            }
        }
    }

    void Answer(const uint8_t* request, std::size_t n, const sockaddr_in& from) {
        const bool fourth = generation > 3;
        const std::size_t oidAt = fourth ? 22 : 21;
        const std::string oid(reinterpret_cast<const char*>(request + oidAt));
        Bytes reply = {0, 0, 0, 0};
        if (fourth) reply.insert(reply.end(), {45, request[1]});
        if (fault == Fault::NonceTwice && !nonceReply.empty()) SendTo(sock, nonceReply, from);
        if (!DigestFits(request + (fourth ? 2 : 1))) {
            for (uint8_t& b : nonce) ++b;
            reply[3] = 1;
            reply.insert(reply.end(), nonce, nonce + 16);
            SendTo(sock, reply, from);
            return;
        }
        if (request[oidAt - 1] == 2) {  // a read
            if (fault == Fault::Forged) {
                Bytes forged = reply;
                forged.insert(forged.end(), {'S', 'p', 'o', 'o', 'f', 'e', 'd', 0});
                SendTo(fromPort, forged, from);
                SendTo(fromAddress, forged, from);
                forgeries += 2;
            }
            const std::string& value = oids[oid];
            reply.insert(reply.end(), value.begin(), value.end());
            reply.push_back(0);
        } else if (oidAt + oid.size() + 1 < n) {
            oids[oid] = reinterpret_cast<const char*>(request + oidAt + oid.size() + 1);
        }
        SendTo(sock, reply, from);
    }

    const int generation;
    const Fault fault;
    std::mutex mutex;
    std::map<std::string, std::string> oids;
    std::string heard;
    int forgeries = 0;
    uint8_t nonce[16];
    Bytes nonceReply;
    int sock = -1, fromPort = -1, fromAddress = -1;
    const int stop = eventfd(0, EFD_CLOEXEC);
    std::thread thread;
};
