// The UDP OID client against vantrel-camsim over real UDP on loopback: each
// test has its own 127.0.0.x addresses, so tests may run side by side.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "loopback_camsim.h"
#include "zorvo.h"
#include "test_lan.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

json OidCamera(const std::string& ip, int version, const std::string& fault = "none") {
    return {{"name", "Cam" + ip.substr(ip.rfind('.') + 1)},
            {"hwAddr", "02:e5:a1:00:09:01"},
            {"ip", ip},
            {"drovik", false},
            {"zorvo", true},
            {"zorvoVersion", version},
            {"zorvoFault", fault},
            {"oids", {{"2.17", "CET"}}}};
}

using ZorvoLoopback = LoopbackCamsim;

// A host that hears but never answers: what it was sent.
std::vector<std::vector<uint8_t>> Heard(int fd) {
    std::vector<std::vector<uint8_t>> heard;
    pollfd waiting{fd, POLLIN, 0};
    while (poll(&waiting, 1, 100) == 1) {
        uint8_t buffer[200];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0) break;
        heard.emplace_back(buffer, buffer + n);
    }
    return heard;
}

TEST_F(ZorvoLoopback, VersionsGenerationsAndHostTexts) {
    Start(json::array({OidCamera("127.0.0.41", 2), OidCamera("127.0.0.42", 3), OidCamera("127.0.0.43", 4),
                       OidCamera("127.0.0.44", 5)}));

    EXPECT_EQ(CZorvo("127.0.0.41", "root", "qivnep").ErrorCode(), 14);

    // Generation 3: one-byte commands, no sequence numbers.
    CZorvo third("127.0.0.42", "root", "qivnep");
    ASSERT_EQ(third.ErrorCode(), 0);
    EXPECT_EQ(third.ProtoVersion(), 3);
    char value[50];
    EXPECT_EQ(third.GetOid("2.4", value, sizeof value), 0);
    EXPECT_STREQ(value, "Cam42");
    EXPECT_EQ(third.SetOid("2.4", "Yard"), 0);
    EXPECT_EQ(third.GetOid("2.4", value, sizeof value), 0);
    EXPECT_STREQ(value, "Yard");
    EXPECT_EQ(third.SeqNo(), 0);
    EXPECT_STREQ(third.Password()->c_str(), "QIVNEP");  // kept in upper case once credentials were made

    // Generation 4 and later: each successful exchange advances the sequence number.
    for (const char* host : {"127.0.0.43", "127.0.0.44"}) {
        SCOPED_TRACE(host);
        CZorvo fourth(host, "root", "qivnep");
        ASSERT_EQ(fourth.ErrorCode(), 0);
        EXPECT_EQ(fourth.SeqNo(), 1);  // the nonce
        EXPECT_EQ(fourth.GetOid("2.17", value, sizeof value), 0);
        EXPECT_STREQ(value, "CET");
        EXPECT_EQ(fourth.SetOid("2.17", "UTC"), 0);
        int32_t number = -1;
        EXPECT_EQ(fourth.SetOid("1.2.29.4", " 12x"), 0);
        EXPECT_EQ(fourth.GetOidInt("1.2.29.4", number), 0);
        EXPECT_EQ(number, 12);
        EXPECT_EQ(fourth.SeqNo(), 5);
        EXPECT_EQ(fourth.GetOid("9.9", value, sizeof value), zorvo::kErrStatus);  // no such OID: status 2
        EXPECT_EQ(fourth.SeqNo(), 5);
        // Refused before anything is sent: a value that would not fit the 100 bytes.
        EXPECT_EQ(fourth.SetOid("2.17", std::string(73, 'z').c_str()), zorvo::kErrTooLong);
    }

    // A host that never answers the version: 14, and no nonce request follows.
    const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(zorvo::kPort);
    inet_pton(AF_INET, "127.0.0.45", &at.sin_addr);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CZorvo("127.0.0.45", "root", "qivnep").ErrorCode(), 14);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);
    EXPECT_EQ(Heard(silent), (std::vector<std::vector<uint8_t>>{{7}}));
    close(silent);

    // Host texts: a digit and a dot is an address, checked; anything else is looked up.
    EXPECT_EQ(CZorvo("127.0.0.x", "root", "qivnep").ErrorCode(), zorvo::kErrLookup);
    CZorvo named("localhost", "root", "qivnep");
    EXPECT_EQ(named.PeerAddr().sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(CZorvo("127.0.0.42", nullptr, nullptr).GetOid("2.4", value, sizeof value), zorvo::kErrNoCredentials);
}

TEST_F(ZorvoLoopback, RefusalsEchoesAndBadReplies) {
    Start(json::array({OidCamera("127.0.0.51", 4, "refuseFirst"), OidCamera("127.0.0.52", 4, "refuseAlways"),
                       OidCamera("127.0.0.53", 4, "wrongCommand"), OidCamera("127.0.0.54", 4, "wrongSeq"),
                       OidCamera("127.0.0.55", 4, "shortRead"), OidCamera("127.0.0.56", 4, "oversize"),
                       OidCamera("127.0.0.57", 4, "status2"), OidCamera("127.0.0.58", 3, "refuseFirst")}));
    char value[50];
    auto read = [&](const char* host, uint8_t* seqAfter = nullptr) {
        CZorvo z(host, "root", "qivnep");
        EXPECT_EQ(z.ErrorCode(), 0) << host;
        const int code = z.GetOid("2.4", value, sizeof value);
        if (seqAfter) *seqAfter = z.SeqNo();
        return code;
    };
    // A refused digest is retried once, with the refusal's nonce and the same
    // sequence number (the camera checks both), and the retry decides.
    uint8_t seq = 0;
    EXPECT_EQ(read("127.0.0.51", &seq), 0);
    EXPECT_STREQ(value, "Cam51");
    EXPECT_EQ(seq, 2);
    EXPECT_EQ(read("127.0.0.58"), 0);
    EXPECT_EQ(read("127.0.0.52"), zorvo::kErrAuth);
    {
        CZorvo z("127.0.0.52", "root", "qivnep");
        EXPECT_EQ(z.SetOid("2.4", "x"), zorvo::kErrAuth);
    }
    EXPECT_EQ(read("127.0.0.53"), zorvo::kErrCommandEcho);
    EXPECT_EQ(read("127.0.0.54"), zorvo::kErrSequenceEcho);
    EXPECT_EQ(read("127.0.0.55", &seq), zorvo::kErrShortRead);
    EXPECT_EQ(seq, 1);                                  // unchanged by the short reply
    EXPECT_EQ(read("127.0.0.56"), zorvo::kErrNoReply);  // over the limit: no reply
    EXPECT_EQ(read("127.0.0.57"), zorvo::kErrStatus);   // no retry
}

}  // namespace
