// vantrel-camsim as the PC meets it: an OID camera on its own loopback
// address answers the version, nonce and read exchange on UDP 35777, and a
// config without discovery cameras leaves the discovery port alone.

#include "md5_text.h"
#include "test_lan.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using camsim::testing::lowerHex;
using camsim::testing::md5;

constexpr const char* kCameraAddress = "127.0.0.201";

// Local UDP ports of the process's sockets, from /proc.
std::vector<unsigned> udpPortsOf(pid_t pid) {
    std::vector<std::string> inodes;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code ec;
        std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
        if (!ec && target.rfind("socket:[", 0) == 0) inodes.push_back(target.substr(8, target.size() - 9));
    }
    std::vector<unsigned> ports;
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
        char local[64];
        unsigned long inode = 0;
        if (std::sscanf(line.c_str(), "%*s %63s %*s %*s %*s %*s %*s %*s %*s %lu", local, &inode) != 2) continue;
        if (std::find(inodes.begin(), inodes.end(), std::to_string(inode)) == inodes.end()) continue;
        ports.push_back(static_cast<unsigned>(std::stoul(std::string(local).substr(9), nullptr, 16)));
    }
    return ports;
}

class OidLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        config_ = std::filesystem::temp_directory_path() / ("camsim-oid-" + std::to_string(getpid()) + ".json");
        std::ofstream(config_) << R"({"cameras": [{"name": "Porch", "hwAddr": "02:e5:a1:00:02:01",
            "ip": ")" << kCameraAddress << R"(", "drovik": false, "zorvo": true, "password": "s3cret",
            "oids": {"2.17": "CET"}}]})";
        camsim_ = StartHere({VANTREL_CAMSIM, "--config", config_.string(), "--duration-s", "60"});
        ASSERT_TRUE(camsim_);
        ASSERT_TRUE(camsim_->WaitForLine("ready", 20s)) << "vantrel-camsim did not start";

        pc_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(pc_, 0);
    }

    void TearDown() override {
        camsim_.reset();
        if (pc_ >= 0) close(pc_);
        std::filesystem::remove(config_);
    }

    std::optional<Bytes> exchange(const Bytes& request) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(35777);
        inet_pton(AF_INET, kCameraAddress, &to.sin_addr);
        if (sendto(pc_, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) < 0) {
            return std::nullopt;
        }
        pollfd p{pc_, POLLIN, 0};
        if (poll(&p, 1, 2000) != 1) return std::nullopt;
        Bytes reply(200);
        ssize_t n = recv(pc_, reply.data(), reply.size(), 0);
        if (n < 0) return std::nullopt;
        reply.resize(static_cast<std::size_t>(n));
        return reply;
    }

    std::filesystem::path config_;
    std::unique_ptr<LanProcess> camsim_;
    int pc_ = -1;
};

TEST_F(OidLoopback, VersionNonceAndReadOnTheCameraAddress) {
    EXPECT_EQ(exchange({0x07}), (Bytes{0, 0, 0, 0, 0, 0, 0, 4}));

    auto nonceReply = exchange({0x2e, 0x00});
    ASSERT_TRUE(nonceReply);
    ASSERT_EQ(nonceReply->size(), 22u);
    EXPECT_EQ(Bytes(nonceReply->begin(), nonceReply->begin() + 6), (Bytes{0, 0, 0, 0, 0x2e, 0x00}));
    const std::string credentials =
        lowerHex(std::span(*nonceReply).subspan(6)) + ":root:S3CRET";

    Bytes read = {0x2d, 0x01};
    auto digest = md5(credentials);
    read.insert(read.end(), digest.begin(), digest.end());
    read.insert(read.end(), {0, 0, 0, 2, '2', '.', '4', 0});
    EXPECT_EQ(exchange(read), (Bytes{0, 0, 0, 0, 0x2d, 0x01, 'P', 'o', 'r', 'c', 'h', 0}));

    // Nothing listens for discovery: loopback tests share the port with the PC's.
    const std::vector<unsigned> ports = udpPortsOf(camsim_->Pid());
    EXPECT_NE(std::find(ports.begin(), ports.end(), 35777u), ports.end());  // the reading works
    EXPECT_EQ(std::find(ports.begin(), ports.end(), 43282u), ports.end());
}

}  // namespace
