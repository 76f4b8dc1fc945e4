// vantrel-nethelper's argument checks and its one-line answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "nethelper_answer.h"
#include "nethelper_request.h"

namespace {

using platform::HelperAnswer;
using platform::HelperRequest;
using platform::HelperVerb;

// A PC with eth0 (index 2) holding 10.77.0.2 and nothing else.
platform::HelperHost Pc() {
    platform::HelperHost host;
    host.linkIndex = [](const std::string& name) { return name == "eth0" ? 2u : 0u; };
    host.holds = [](unsigned index, in_addr address) { return index == 2 && address.s_addr == inet_addr("10.77.0.2"); };
    return host;
}

std::string Fault(const std::vector<std::string>& arguments) {
    HelperRequest request;
    return platform::ReadHelperRequest(arguments, Pc(), request);
}

TEST(NetHelperRequest, RefusesEveryMalformedArgument) {
    // clang-format off
    const std::vector<std::vector<std::string>> malformed = {
        {},
        {"route"},
        {"ADD-HOST-ROUTE", "10.77.0.9", "eth0", "10.77.0.2"},
        {"arp-probe"},
        {"arp-probe", "10.77.0.9", "extra"},
        {"add-host-route", "10.77.0.9", "eth0"},
        // the old form: nothing may replace a route any more
        {"add-host-route", "10.77.0.9", "eth0", "10.77.0.2", "replace"},
        {"add-host-route", "10.77.0.9", "eth0", "10.77.0.2", "keep"},
        {"delete-host-route", "10.77.0.9"},
        {"add-link-local-route", "eth0"},
        {"delete-link-local-route"},
        {"delete-link-local-route", "eth0", "10.77.0.2"},
        // addresses: short, octal, hex, signs, blanks, trailing text, too long, out of range
        {"arp-probe", "10.77.9"},
        {"arp-probe", "010.77.0.9"},
        {"arp-probe", "0x0a.77.0.9"},
        {"arp-probe", "+10.77.0.9"},
        {"arp-probe", " 10.77.0.9"},
        {"arp-probe", "10.77.0.9\n"},
        {"arp-probe", "10.77.0.9.1"},
        {"arp-probe", "10.77.0.256"},
        {"arp-probe", ""},
        {"arp-probe", std::string("10.77.0.9\0x", 11)},
        // no single device: this network, loopback, multicast, reserved, broadcast
        {"arp-probe", "0.0.0.0"},
        {"arp-probe", "127.0.0.1"},
        // a batch: one bad address spoils it, and it has a bound
        {"arp-probe", "10.77.0.9", "10.77.0.10", "10.77.0.256"},
        {"arp-probe", "10.77.0.9", "127.0.0.1"},
        {"add-host-route", "224.0.0.251", "eth0", "10.77.0.2"},
        {"delete-host-route", "240.0.0.1", "eth0"},
        {"delete-host-route", "255.255.255.255", "eth0"},
        // interfaces: absent, empty, path-like, too long, blanks, control bytes
        {"delete-host-route", "10.77.0.9", "eth9"},
        {"delete-host-route", "10.77.0.9", ""},
        {"delete-host-route", "10.77.0.9", "../eth0"},
        {"delete-host-route", "10.77.0.9", "eth0eth0eth0eth0"},
        {"delete-host-route", "10.77.0.9", "eth 0"},
        {"delete-host-route", "10.77.0.9", "eth0\x1b"},
        // a source the link does not hold, or no address at all
        {"add-host-route", "10.77.0.9", "eth0", "10.77.0.3"},
        {"delete-link-local-route", "eth1"},
        {"add-link-local-route", "eth0", "192.168.60.2"},
        {"add-link-local-route", "eth0", "eth0"},
    };
    // clang-format on
    for (const std::vector<std::string>& arguments : malformed) {
        std::string shown;
        for (const std::string& a : arguments) shown += "[" + a + "]";
        EXPECT_FALSE(Fault(arguments).empty()) << shown;
    }
    EXPECT_EQ(Fault({"arp-probe", "10.77.0.256"}), "address \"10.77.0.256\" is no dotted IPv4 address");
    EXPECT_EQ(Fault({"add-link-local-route", "eth0", "10.77.0.3"}), "interface eth0 holds no 10.77.0.3");
    std::vector<std::string> tooMany = {"arp-probe"};
    for (std::size_t i = 0; i <= platform::kMaxProbeAddresses; ++i)
        tooMany.push_back("10.77." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1));
    EXPECT_EQ(Fault(tooMany), "arp-probe takes 1 to 256 addresses");
    tooMany.pop_back();
    EXPECT_EQ(Fault(tooMany), "");
}

TEST(NetHelperRequest, SoundRequestsReadBackAsTheyWereWritten) {
    const std::vector<std::vector<std::string>> sound = {
        {"add-host-route", "169.254.7.9", "eth0", "10.77.0.2"},
        {"delete-host-route", "192.168.0.90", "eth0"},
        {"add-link-local-route", "eth0", "10.77.0.2"},
        {"delete-link-local-route", "eth0"},
        {"arp-probe", "10.77.0.9"},
        {"arp-probe", "10.77.0.9", "192.168.60.50", "10.77.0.9"},
    };
    for (const std::vector<std::string>& arguments : sound) {
        HelperRequest request;
        ASSERT_EQ(platform::ReadHelperRequest(arguments, Pc(), request), "") << arguments[0];
        EXPECT_EQ(platform::HelperArguments(request), arguments);
        if (request.verb != HelperVerb::ArpProbe) {
            EXPECT_EQ(request.linkIndex, 2u);
        }
    }
}

TEST(NetHelperAnswer, ReadsOnlyTheFixedLines) {
    HelperAnswer answer = platform::ReadHelperAnswer("answered 00:1a:2b:fe:0d:99\n");
    ASSERT_EQ(answer.kind, HelperAnswer::Answered);
    const uint8_t hw[6] = {0x00, 0x1a, 0x2b, 0xfe, 0x0d, 0x99};
    EXPECT_EQ(std::memcmp(answer.hwAddr, hw, 6), 0);
    EXPECT_EQ(platform::FormatHelperAnswer(answer), "answered 00:1a:2b:fe:0d:99\n");
    answer = platform::ReadHelperAnswer("error 101\n");
    EXPECT_EQ(answer.kind, HelperAnswer::Error);
    EXPECT_EQ(answer.error, 101);
    EXPECT_EQ(platform::ReadHelperAnswer("ok\n").kind, HelperAnswer::Ok);
    EXPECT_EQ(platform::ReadHelperAnswer("silent\n").kind, HelperAnswer::Silent);
    EXPECT_EQ(platform::ReadHelperAnswer("exists\n").kind, HelperAnswer::Exists);
    EXPECT_EQ(platform::ReadHelperAnswer("refused\n").kind, HelperAnswer::Refused);
    answer = platform::ReadHelperAnswer("refused 8.8.8.8 is no private or link-local address\n");
    EXPECT_EQ(answer.kind, HelperAnswer::Refused);
    EXPECT_EQ(answer.reason, "8.8.8.8 is no private or link-local address");
    // A reason is written as printable text only, whatever it was given, and read back the same.
    answer.reason = "interface \"eth0\x1b[2J\nok\" is no interface name";
    EXPECT_EQ(platform::FormatHelperAnswer(answer), "refused interface \"eth0?[2J?ok\" is no interface name\n");
    answer.reason.assign(500, 'x');
    EXPECT_EQ(platform::ReadHelperAnswer(platform::FormatHelperAnswer(answer)).reason, std::string(200, 'x'));
    for (const char* garbled :
         {"", "ok", "ok\nok\n", "OK\n", "error\n", "error 0\n", "error -1\n", "error 12345\n", "error 1x\n",
          "answered 00:1a:2b:fe:0d\n", "answered 00:1A:2b:fe:0d:99\n", "answered 00-1a-2b-fe-0d-99\n",
          "answered 00:1a:2b:fe:0d:99 \n", "silent ok\n", "exists now\n", "refused \n", "refused \x1b]0;owned\x07\n"})
        EXPECT_EQ(platform::ReadHelperAnswer(garbled).kind, HelperAnswer::Garbled) << garbled;
}

// A probe of many addresses is answered a line each, in their order; anything
// else (a line short or over, a failure line, a stray byte) is no answer at all.
TEST(NetHelperAnswer, ReadsAProbesLinesOnlyWhenEveryAddressHasOne) {
    const std::string three = "silent\nanswered 02:e5:a1:00:06:08\nsilent\n";
    const std::vector<HelperAnswer> answers = platform::ReadProbeAnswers(three, 3);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].kind, HelperAnswer::Silent);
    EXPECT_EQ(answers[1].kind, HelperAnswer::Answered);
    EXPECT_EQ(answers[1].hwAddr[5], 0x08);
    EXPECT_EQ(answers[2].kind, HelperAnswer::Silent);
    EXPECT_EQ(platform::ReadProbeAnswers("silent\n", 1).size(), 1u);
    for (const std::pair<std::string, std::size_t>& wrong :
         std::vector<std::pair<std::string, std::size_t>>{{three, 2},
                                                          {three, 4},
                                                          {three + "silent\n", 3},
                                                          {"silent\nsilent", 2},
                                                          {"silent\n\nsilent\n", 2},
                                                          {"error 1\n", 1},
                                                          {"refused arp-probe takes 1 to 256 addresses\n", 2},
                                                          {"silent\nok\n", 2},
                                                          {"", 1}})
        EXPECT_TRUE(platform::ReadProbeAnswers(wrong.first, wrong.second).empty()) << wrong.first;
}

}  // namespace
