// The mDNS responder over real sockets, in a namespace LAN: a PC sends the
// 34-byte query from port 5353 and hears one answer per mDNS camera, each
// from the camera's own address; an office host's mDNS draws no answer.

#include "camsim_config.h"
#include "mdns_message_walk.h"
#include "test_lan.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using camsim::testing::Bytes;
using camsim::testing::walkMessage;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const Bytes kPcQuery = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    5, '_', 'h', 't', 't', 'p', 4, '_', 't', 'c', 'p', 5, 'l', 'o', 'c', 'a', 'l', 0,
    0x00, 0x0c, 0x00, 0x01,
};

struct Heard {
    std::string from;
    std::uint16_t port = 0;
    Bytes bytes;
    Clock::duration after{};  // since the listener last sent or started listening
};

class MdnsLan : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_TEST_LAN();
        lan.AddLan("lan");
        lan.AddHost("pc", "lan", "eth0", {"10.78.0.2/24"});
        lan.AddHost("cams", "lan", "eth0", {"10.78.0.10/24", "10.78.0.11/24", "10.78.0.12/24"});
        lan.AddHost("office", "lan", "eth0", {"10.78.0.30/24", "10.78.0.31/24"});
        ASSERT_TRUE(lan.Ok());
        // The PC's socket, made inside its namespace; it stays there when used from here.
        ASSERT_TRUE(lan.RunInside("pc", [&] { pc = OpenPcSocket(); }));
        ASSERT_GE(pc, 0);
    }

    void TearDown() override {
        if (pc >= 0) close(pc);
        if (!config.empty()) std::remove(config.c_str());
    }

    // Bound to 0.0.0.0:5353 and joined to 224.0.0.251 on eth0, as the PC's is.
    static int OpenPcSocket() {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(5353);
        ip_mreqn group{};
        inet_pton(AF_INET, "224.0.0.251", &group.imr_multiaddr);
        group.imr_ifindex = static_cast<int>(if_nametoindex("eth0"));
        if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0 ||
            bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof(group)) != 0 ||
            setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &group, sizeof(group)) != 0) {
            if (fd >= 0) close(fd);
            return -1;
        }
        return fd;
    }

    std::unique_ptr<LanProcess> StartCameras(const json& cameras) {
        config = "/tmp/" + lan.Namespace("cams") + ".json";
        EXPECT_TRUE(WriteCamsimConfig(config, cameras));
        auto process = lan.Start("cams", {lan.Executable(VANTREL_CAMSIM), "--config", config, "--duration-s", "60"},
                                 /*unprivileged=*/true);
        EXPECT_TRUE(process && process->WaitForLine("ready", 20s)) << "vantrel-camsim did not start";
        return process;
    }

    void SendQuery() {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(5353);
        inet_pton(AF_INET, "224.0.0.251", &to.sin_addr);
        ASSERT_EQ(sendto(pc, kPcQuery.data(), kPcQuery.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
                  static_cast<ssize_t>(kPcQuery.size()));
    }

    // Everything that arrives until `quiet` passes without a datagram, less
    // the PC's own query, which the kernel loops back.
    std::vector<Heard> Listen(std::chrono::milliseconds quiet) {
        const auto start = Clock::now();
        std::vector<Heard> heard;
        pollfd p{pc, POLLIN, 0};
        while (poll(&p, 1, static_cast<int>(quiet.count())) == 1 && Clock::now() - start < 10s) {
            Heard h;
            h.bytes.resize(9000);
            sockaddr_in from{};
            socklen_t len = sizeof(from);
            ssize_t n = recvfrom(pc, h.bytes.data(), h.bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) break;
            h.bytes.resize(static_cast<std::size_t>(n));
            char text[INET_ADDRSTRLEN];
            h.from = inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text));
            h.port = ntohs(from.sin_port);
            h.after = Clock::now() - start;
            if (h.from != "10.78.0.2") heard.push_back(std::move(h));
        }
        return heard;
    }

    static std::map<std::string, int> CountBySender(const std::vector<Heard>& heard) {
        std::map<std::string, int> count;
        for (const Heard& h : heard) ++count[h.from];
        return count;
    }

    TestLan lan;
    int pc = -1;
    std::string config;
};

json Camera(const std::string& name, const std::string& hw, const std::string& ip) {
    return {{"name", name}, {"hwAddr", hw}, {"ip", ip}, {"subnet", "255.255.255.0"}, {"mdns", true}};
}

TEST_F(MdnsLan, EveryCameraAnswersEachQueryOnceFromItsOwnAddress) {
    json gate = Camera("Gate", "02:e5:a1:00:00:02", "10.78.0.11");
    gate["mdnsSection"] = "answer";
    gate["mdnsDelayMs"] = 80;
    json drovikOnly = Camera("Door", "02:e5:a1:00:00:03", "10.78.0.12");
    drovikOnly["mdns"] = false;
    json away = Camera("Away", "02:e5:a1:00:00:04", "10.78.9.9");  // not local: warned about and left out
    json lobby = Camera("Lobby", "02:e5:a1:c0:ff:ee", "10.78.0.10");
    auto cameras = StartCameras(json::array({lobby, gate, drovikOnly, away}));
    ASSERT_TRUE(cameras);

    for (int query = 0; query < 2; ++query) {
        SendQuery();
        std::vector<Heard> heard = Listen(600ms);
        EXPECT_EQ(CountBySender(heard), (std::map<std::string, int>{{"10.78.0.10", 1}, {"10.78.0.11", 1}}));
        for (const Heard& h : heard) {
            EXPECT_EQ(h.port, 5353);
            auto walked = walkMessage(h.bytes);
            ASSERT_EQ(walked.problem, "") << h.from;
            EXPECT_EQ(walked.flags, 0x8400);
            ASSERT_FALSE(walked.answers.empty());
            ASSERT_EQ(walked.answers[0].names.size(), 1u);
            const std::string& target = walked.answers[0].names[0];
            if (h.from == "10.78.0.10") {
                EXPECT_EQ(target, "Lobby-02e5a1c0ffee._http._tcp.local");
                EXPECT_EQ(walked.additionals.size(), 3u);
            } else {
                EXPECT_EQ(target, "Gate-02e5a1000002._http._tcp.local");
                EXPECT_EQ(walked.answers.size(), 4u);
                EXPECT_GE(h.after, 80ms);
            }
        }
    }
}

TEST_F(MdnsLan, OfficeMdnsTrafficDrawsNoAnswer) {
    auto cameras = StartCameras(json::array({Camera("Lobby", "02:e5:a1:c0:ff:ee", "10.78.0.10")}));
    ASSERT_TRUE(cameras);
    EXPECT_EQ(lan.Run("office", {VANTREL_CAMSIM, "noise", "--port", "5353", "--to", "224.0.0.251", "--mdns",
                                 "--interval-ms", "20", "--count", "5", "--from", "10.78.0.30", "--from",
                                 "10.78.0.31"}),
              0);
    std::vector<Heard> heard = Listen(300ms);
    EXPECT_EQ(CountBySender(heard), (std::map<std::string, int>{{"10.78.0.30", 5}, {"10.78.0.31", 5}}));
    std::map<std::string, std::vector<std::uint16_t>> flags;
    for (const Heard& h : heard) {
        EXPECT_EQ(h.port, 5353);
        auto walked = walkMessage(h.bytes);
        EXPECT_EQ(walked.problem, "");
        flags[h.from].push_back(walked.flags);
    }
    // Four kinds of answer and a query by turns, each sender one kind ahead of the one before.
    EXPECT_EQ(flags["10.78.0.30"], (std::vector<std::uint16_t>{0x8400, 0x8400, 0x8400, 0x8400, 0x0000}));
    EXPECT_EQ(flags["10.78.0.31"], (std::vector<std::uint16_t>{0x8400, 0x8400, 0x8400, 0x0000, 0x8400}));
}

TEST_F(MdnsLan, NoiseRefusesASenderAddressThisHostDoesNotOwn) {
    EXPECT_EQ(lan.Run("office", {VANTREL_CAMSIM, "noise", "--port", "5353", "--mdns", "--interval-ms", "0",
                                 "--count", "1", "--from", "10.78.0.10"}),
              2);
}

}  // namespace
