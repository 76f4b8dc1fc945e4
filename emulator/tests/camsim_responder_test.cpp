// The discovery socket loop on loopback, with a free listening port and the
// test's own socket standing in for the PC's reply port.

#include "drovik_responder.h"
#include "md5_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <vector>

namespace camsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Received {
    Bytes bytes;
    Ipv4 from{};
};

class ResponderLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        pc_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(pc_, 0);
        int on = 1;
        ASSERT_EQ(setsockopt(pc_, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)), 0);
        // Bound to the wildcard so limited broadcasts reach it too.
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        ASSERT_EQ(::bind(pc_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        socklen_t len = sizeof(addr);
        ASSERT_EQ(getsockname(pc_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        pcPort_ = ntohs(addr.sin_port);
    }
    void TearDown() override {
        if (pc_ >= 0) ::close(pc_);
    }

    // Opens a responder on a free port that replies to the test's socket.
    std::unique_ptr<DrovikResponder> start(const std::vector<Camera>& cameras, std::vector<Ipv4> local = {}) {
        cameras_ = cameras;  // the responder shares the state it is given
        auto responder = std::make_unique<DrovikResponder>(cameras_, local, DrovikPorts{0, pcPort_});
        std::string error;
        EXPECT_TRUE(responder->open(error)) << error;
        return responder;
    }

    void request(const DrovikResponder& responder, Bytes datagram) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(responder.boundPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(sendto(pc_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
                  static_cast<ssize_t>(datagram.size()));
    }

    // Waits for the responder's socket, then lets it answer.
    void serve(DrovikResponder& responder) {
        pollfd pfd{responder.fd(), POLLIN, 0};
        ASSERT_EQ(poll(&pfd, 1, 2000), 1);
        responder.onReadable();
    }

    std::optional<Received> receive(int timeoutMs = 2000) {
        pollfd pfd{pc_, POLLIN, 0};
        if (poll(&pfd, 1, timeoutMs) != 1) return std::nullopt;
        Received r;
        r.bytes.resize(2048);
        sockaddr_in from{};
        socklen_t len = sizeof(from);
        ssize_t n = recvfrom(pc_, r.bytes.data(), r.bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return std::nullopt;
        r.bytes.resize(static_cast<std::size_t>(n));
        std::memcpy(r.from.data(), &from.sin_addr.s_addr, r.from.size());
        return r;
    }

    static Bytes discovery(std::uint8_t low, std::uint8_t high, std::uint8_t packetId = 1) {
        return {packetId, 0x01, 0x00, 0x00, low, high, 0x00, 0x00};
    }

    static Camera camera(std::uint8_t last, Ipv4 ip, AnswerMode mode = AnswerMode::Range) {
        Camera cam;
        cam.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, last};
        cam.ip = ip;
        cam.answer = mode;
        return cam;
    }

    static std::uint8_t lastHwByte(const Received& r) { return r.bytes.at(11); }

    int pc_ = -1;
    std::uint16_t pcPort_ = 0;
    std::vector<Camera> cameras_;
};

TEST_F(ResponderLoopback, AnswersOnlyCamerasInTheRequestedRangeWithFreshNonces) {
    const Ipv4 ip{10, 99, 0, 1};
    std::vector<Camera> cameras = {camera(10, ip), camera(63, ip), camera(64, ip), camera(200, ip),
                                   camera(130, ip, AnswerMode::Every)};
    auto responder = start(cameras);

    request(*responder, discovery(0, 63, 9));
    serve(*responder);
    std::multiset<std::uint8_t> answered;
    std::set<Bytes> nonces;
    for (int i = 0; i < 3; ++i) {
        auto r = receive();
        ASSERT_TRUE(r) << "reply " << i << " missing";
        ASSERT_GE(r->bytes.size(), 28u);
        EXPECT_EQ(r->bytes[0], 9);  // packet ID echoed
        answered.insert(lastHwByte(*r));
        nonces.insert(Bytes(r->bytes.begin() + 12, r->bytes.begin() + 28));
    }
    EXPECT_EQ(answered, (std::multiset<std::uint8_t>{10, 63, 130}));
    EXPECT_EQ(nonces.size(), 3u);
    EXPECT_EQ(responder->stats().replies, 3u);
}

TEST_F(ResponderLoopback, IgnoresJunkAndOtherCodes) {
    auto responder = start({camera(1, {10, 99, 0, 1}, AnswerMode::Every)});
    request(*responder, {0x01, 0x01, 0x00});                               // too short
    request(*responder, {0x01, 0x03, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00});  // not discovery
    request(*responder, discovery(0, 255, 0x42));
    // All three are queued before the responder wakes; only the last may be answered.
    pollfd pfd{responder->fd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    while (responder->stats().requests == 0) serve(*responder);
    auto r = receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->bytes[0], 0x42);
    EXPECT_EQ(responder->stats().requests, 1u);
    EXPECT_FALSE(receive(100));
}

TEST_F(ResponderLoopback, SendsFromTheCameraAddressWhenItIsLocal) {
    const Ipv4 local{127, 0, 0, 2};
    const Ipv4 elsewhere{10, 99, 0, 1};
    auto responder = start({camera(1, local), camera(2, elsewhere)}, {local});
    request(*responder, discovery(0, 63));
    serve(*responder);
    for (int i = 0; i < 2; ++i) {
        auto r = receive();
        ASSERT_TRUE(r);
        if (lastHwByte(*r) == 1) {
            EXPECT_EQ(r->from, local);
        } else {
            EXPECT_EQ(r->from, (Ipv4{127, 0, 0, 1}));  // kernel's choice on loopback
        }
    }
}

TEST_F(ResponderLoopback, CameraWithoutAddressBroadcastsOnTheArrivalLink) {
    auto responder = start({camera(1, {0, 0, 0, 0})});
    request(*responder, discovery(0, 63));
    serve(*responder);
    // Loopback delivers the limited broadcast to the wildcard-bound socket.
    auto r = receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(lastHwByte(*r), 1);
}

TEST_F(ResponderLoopback, AssignmentOverTheFirstOfTwoNoncesMovesTheCamera) {
    const Ipv4 local{127, 0, 0, 3};
    auto responder = start({camera(1, {10, 99, 0, 1})}, {local});
    // Two passes; the PC keeps the first reply's nonce.
    request(*responder, discovery(0, 63));
    serve(*responder);
    auto first = receive();
    ASSERT_TRUE(first);
    request(*responder, discovery(0, 63));
    serve(*responder);
    ASSERT_TRUE(receive());

    const std::string nonceHex = testing::lowerHex(std::span(first->bytes).subspan(12, 16));
    const auto digest = testing::md5(nonceHex + ":root:QIVNEP");
    Bytes assignment = {0x77, 0x03, 0x00, 0x00};
    assignment.insert(assignment.end(), digest.begin(), digest.end());
    assignment.insert(assignment.end(), {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01, 0x00, 0x00,
                                         0x01, 0x00, 0x00, 0x04, 127, 0, 0, 3,
                                         0x02, 0x00, 0x00, 0x04, 255, 0, 0, 0,
                                         0x03, 0x00, 0x00, 0x04, 0, 0, 0, 0,
                                         0x08, 0x00, 0x00, 0x01, 0x00,
                                         0x00, 0x00, 0x00, 0x00});
    request(*responder, assignment);
    serve(*responder);
    auto reply = receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes, (Bytes{0x77, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));

    // Now local, the camera answers from its new address and shows it.
    request(*responder, discovery(0, 63));
    serve(*responder);
    auto after = receive();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->from, local);
    EXPECT_EQ(Bytes(after->bytes.begin() + 28, after->bytes.begin() + 36), (Bytes{0x01, 0x00, 0x00, 0x04, 127, 0, 0, 3}));
}

TEST_F(ResponderLoopback, AnswersEveryCameraOfALargeSet) {
    std::vector<Camera> cameras;
    for (int i = 0; i < 100; ++i) cameras.push_back(camera(static_cast<std::uint8_t>(i), {10, 99, 0, 1}));
    auto responder = start(cameras);
    request(*responder, discovery(0, 63));
    serve(*responder);
    std::set<std::uint8_t> answered;
    while (auto r = receive(200)) answered.insert(lastHwByte(*r));
    EXPECT_EQ(answered.size(), 64u);
    EXPECT_EQ(responder->stats().replies, 64u);
    EXPECT_EQ(responder->stats().sendFailures, 0u);
}

}  // namespace
}  // namespace camsim
