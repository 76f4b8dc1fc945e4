// One camera's settings against vantrel-camsim on loopback (127.0.0.80 to .97):
// CCameraSettings, UDP first and HTTP after, the choice lists, every message
// with its caption; then vantrel-cli get, set and choices end to end, also
// against scripted web servers that break their replies (127.0.0.170 to .177)
// and OID services whose nonce comes late or twice, or whose reads a forger
// races (127.0.0.100 to .106).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "camera_settings.h"
#include "web_client.h"
#include "mdns.h"
#include "loopback_camsim.h"
#include "oid_stand_in.h"
#include "scripted_http.h"
#include "test_lan.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;
using List = CCameraSettings::ChoiceList;

// A camera named "Cam<last byte>": UDP of `generation` (0: none), a web server
// with `httpFault` on port 80 ("": none), then `more` keys.
json Camera(const std::string& ip, int generation, const std::string& httpFault, const json& more = json::object()) {
    json cam = {{"name", "Cam" + ip.substr(ip.rfind('.') + 1)},
                {"hwAddr", "02:e5:a1:00:0b:01"},
                {"ip", ip},
                {"drovik", false},
                {"zorvo", generation != 0},
                {"zorvoVersion", generation ? generation : 4},
                {"http", !httpFault.empty()},
                {"httpFault", httpFault.empty() ? "none" : httpFault}};
    cam.update(more);
    return cam;
}

const json kCet = {{"oids", {{"2.17", "CET"}, {"1.2.29.4", "PAL"}}}};

class SettingsLoopback : public LoopbackCamsim {
protected:
    void SetUp() override {
        // HTTP reads always go to port 80.
        int first = 1024;
        std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> first;
        if (geteuid() != 0 && first > 80) GTEST_SKIP() << "vantrel-camsim may not serve port 80 here";
    }
    CCameraSettings At(const std::string& ip, int port = 80) {
        return CCameraSettings(lastError, ip, ip + ":" + std::to_string(port),
                               [this](const char* text, const char* caption, bool icon) {
                                   shown += std::string(" [") + text + " | " + caption + (icon ? " | icon]" : "]");
                               });
    }
    // "= value" or "failed", then the boxes shown.
    std::string Read(const std::string& ip, const char* oid, std::size_t size = 64) {
        shown.clear();
        char value[64] = "stale";
        return At(ip).GetCameraOid(oid, value, size) ? "= " + std::string(value) + shown : "failed" + shown;
    }
    std::string Write(const std::string& ip, const char* oid, const char* value) {
        shown.clear();
        return (At(ip).SetCameraOid(oid, value) ? "ok" : "failed") + shown;
    }
    // "true"/"false", the current value when read, the items, the boxes.
    std::string Load(const std::string& ip, List list, int port = 8080) {
        shown.clear();
        CCameraSettings::Choices choices;
        std::string out = At(ip, port).LoadChoices(list, choices) ? "true" : "false";
        if (choices.currentRead) out += " " + choices.current + ":";
        for (const std::string& item : choices.items) out += " " + item;
        return out + shown;
    }
    // Runs `work` and checks it took the UDP wait before HTTP, within loose bounds.
    template <typename Work>
    static auto AfterUdpWait(Work work) {
        const auto start = Clock::now();
        auto result = work();
        EXPECT_GE(Clock::now() - start, 350ms);
        EXPECT_LT(Clock::now() - start, 3s);
        return result;
    }
    bool Told(const std::string& line) { return camsim->WaitForLine(line, 5s); }

    char lastError[CCameraSettings::kLastError] = {};
    std::string shown;
};

TEST_F(SettingsLoopback, UdpFirstAndHttpWhenItFails) {
    Start(json::array({Camera("127.0.0.80", 4, "none", kCet), Camera("127.0.0.81", 3, "none", kCet),
                       Camera("127.0.0.82", 0, "none", kCet),
                       Camera("127.0.0.83", 4, "noBody", {{"zorvoFault", "refuseAlways"}}),
                       Camera("127.0.0.84", 0, "noBody", kCet)}));
    // Both generations over UDP only, though a web server is there too.
    for (const std::string ip : {"127.0.0.80", "127.0.0.81"}) {
        SCOPED_TRACE(ip);
        EXPECT_EQ(Read(ip, "2.17"), "= CET");
        EXPECT_EQ(Read(ip, "2.17", 3), "= CE");  // cut to the room, its NUL included
        EXPECT_EQ(Write(ip, "2.17", "UTC"), "ok");
        EXPECT_TRUE(Told("set " + ip + " 2.17=UTC"));
        EXPECT_EQ(camsim->Output().find("http " + ip), std::string::npos) << camsim->Output();
    }
    // No UDP service: HTTP once the version wait is over, silently.
    EXPECT_EQ(AfterUdpWait([&] { return Read("127.0.0.82", "2.17", 3); }), "= CE");
    EXPECT_TRUE(Told("http 127.0.0.82:80 GET /get.oid?2.17"));
    EXPECT_EQ(AfterUdpWait([&] { return Write("127.0.0.82", "2.17", "UTC"); }), "ok");
    EXPECT_TRUE(Told("http 127.0.0.82:80 GET /set.oid?OidTB2.17=UTC"));
    EXPECT_TRUE(Told("set 127.0.0.82 2.17=UTC"));
    EXPECT_EQ(Read("127.0.0.82", "9.9"), "failed [Query for 9.9 failed with\nunknown OID 9.9 | Error | icon]");
    const std::string oid(60, '7'), message = "Query for " + oid + " failed with\nunknown OID " + oid;
    EXPECT_EQ(Read("127.0.0.82", oid.c_str()), "failed [" + message.substr(0, 99) + " | Error | icon]");

    // UDP refused, then an empty page: the UDP message stands; the write takes the empty page.
    EXPECT_EQ(Read("127.0.0.83", "2.4"), "failed [Query failed with authentication failure | Error | icon]");
    EXPECT_EQ(Write("127.0.0.83", "2.4", "Gate"), "ok");
    EXPECT_TRUE(Told("set 127.0.0.83 2.4=Gate"));
    // Neither step said why: never an older message.
    std::strcpy(lastError, "an older message");
    EXPECT_EQ(Read("127.0.0.84", "2.17"), "failed [Query for 2.17 failed | Error | icon]");
}

TEST_F(SettingsLoopback, HttpRefusalsAndStatuses) {
    Start(json::array({Camera("127.0.0.85", 0, "unauthorized", kCet), Camera("127.0.0.86", 0, "error", kCet),
                       Camera("127.0.0.87", 0, "bare", kCet), Camera("127.0.0.88", 0, "empty", kCet),
                       Camera("127.0.0.89", 0, "status204", kCet), Camera("127.0.0.90", 0, "status500", kCet)}));
    EXPECT_EQ(Read("127.0.0.85", "2.17"),
              "failed [Query for 2.17 failed with 401: authentication error | Error | icon]");
    EXPECT_EQ(Write("127.0.0.85", "2.17", "UTC"), "failed [Assignment failed with -1 | Error | icon]");
    EXPECT_EQ(Read("127.0.0.86", "2.17"), "failed [Query for 2.17 failed with\ncamera says no | Error | icon]");
    EXPECT_EQ(Write("127.0.0.86", "2.17", "UTC"), "failed [Assignment failed with\ncamera says no | Error | icon]");
    // Pages without <xmp>: a value page reads as empty, a refusal has no explanation.
    EXPECT_EQ(Read("127.0.0.87", "2.17"), "= ");
    EXPECT_EQ(Read("127.0.0.87", "9.9"), "failed [Query for 9.9 failed | Error | icon]");
    EXPECT_EQ(Write("127.0.0.87", "2.17", "UTC"), "ok");
    EXPECT_EQ(Read("127.0.0.88", "2.17"), "= ");
    EXPECT_EQ(Write("127.0.0.88", "2.17", "UTC"), "ok");
    EXPECT_EQ(Read("127.0.0.89", "2.17"), "failed [Query for 2.17 failed withHTTP code 204 | Error | icon]");
    EXPECT_EQ(Write("127.0.0.89", "2.17", "UTC"), "failed [Assignment failed withHTTP code 204 | Error | icon]");
    EXPECT_EQ(Read("127.0.0.90", "2.17"), "failed [Query for 2.17 failed with -1 | Error | icon]");
}

TEST_F(SettingsLoopback, ChoiceLists) {
    json web = kCet;
    web["httpPort"] = 8080;
    json lists = web, noQuote = web;
    lists.update(
        {{"httpAuth", "digest"},
         {"httpLists", {{"2.17", "zones = 'GMT,CET,,Pacific/Auckland,EST5EDT'; other = 'X'"}, {"1.2.29.4", "''"}}}});
    noQuote["httpLists"] = {{"2.17", "GMT CET"}};
    Start(json::array({Camera("127.0.0.91", 4, "none", lists), Camera("127.0.0.92", 4, "unauthorized", web),
                       Camera("127.0.0.93", 4, "status500", web), Camera("127.0.0.94", 4, "none", noQuote)}));
    EXPECT_EQ(Load("127.0.0.91", List::Timezone), "true cet: GMT CET Pacific/Auckland EST5EDT");
    EXPECT_TRUE(Told("http 127.0.0.91:8080 GET /DPARSE_$O(2.17,L).cmd"));
    EXPECT_EQ(Load("127.0.0.91", List::Analog), "true pal: ntsc pal disabled");
    EXPECT_EQ(Load("127.0.0.91", List::Timezone, 8099),
              "false cet: [Query for timezones failed with -1\r\nCamera http port may not be 80 | Error]");
    EXPECT_EQ(Load("127.0.0.92", List::Timezone),
              "false cet: [Timezone list query failed with authentication error | Authentication Error]");
    EXPECT_EQ(Load("127.0.0.92", List::Analog),
              "false pal: [Analog option list query failed with authentication error | Authentication Error]");
    EXPECT_EQ(Load("127.0.0.93", List::Analog),
              "false pal: [Query for analog options failed with -1\r\nCamera http port may not be 80 | Error]");
    EXPECT_EQ(Load("127.0.0.94", List::Timezone), "false cet:");
}

// vantrel-cli as an ordinary user would run it: "<exit status> <stdout>|<stderr>".
class SettingsCliLoopback : public SettingsLoopback {
protected:
    void SetUp() override {
        SettingsLoopback::SetUp();
        if (IsSkipped()) return;
        char dir[] = "/tmp/vantrel-cli-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        scratch = dir;
        chmod(dir, 0755);
        if (geteuid() != 0) return;
        // As user 65534, from a copy it may run wherever the build tree lives.
        cli = scratch + "/vantrel-cli";
        std::filesystem::copy_file(VANTREL_CLI, cli);
        Launch nobody;
        nobody.who = RunAs(true);
        auto process = ::Start({cli, "--help"}, nobody);
        if (process && process->Wait(10s) == 0)
            asUser = nobody.who;
        else
            std::printf("running vantrel-cli as root: user 65534 cannot run it here\n");
    }
    void TearDown() override {
        SettingsLoopback::TearDown();
        if (!scratch.empty()) std::filesystem::remove_all(scratch);
    }
    std::string Cli(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {cli};
        argv.insert(argv.end(), args.begin(), args.end());
        Launch how;
        how.who = asUser;
        how.stderrPath = scratch + "/stderr";
        auto process = ::Start(argv, how);
        const int status = process ? process->Wait(30s) : -1;
        std::stringstream err;
        err << std::ifstream(scratch + "/stderr").rdbuf();
        return std::to_string(status) + " " + (process ? process->Output() : "") + "|" + err.str();
    }
    std::string scratch;
    std::string cli = VANTREL_CLI;
    RunAs asUser;
};

TEST_F(SettingsCliLoopback, GetSetAndChoices) {
    json lists = kCet;
    lists.update({{"httpPort", 8080}, {"httpLists", {{"2.17", "'GMT,CET'"}}}});
    Start(json::array(
        {Camera("127.0.0.95", 3, ""), Camera("127.0.0.96", 4, "none", lists), Camera("127.0.0.97", 0, "none")}));
    const std::string typed = "Yard #1 & GMT+1 50%";
    for (const std::string ip : {"127.0.0.95", "127.0.0.96", "127.0.0.97"}) {
        SCOPED_TRACE(ip);
        EXPECT_EQ(Cli({"get", ip, "2.4"}), "0 Cam" + ip.substr(8) + "\n|");
        EXPECT_EQ(Cli({"set", ip, "2.4", typed}), "0 |");
        EXPECT_TRUE(Told("set " + ip + " 2.4=" + typed));
        EXPECT_EQ(Cli({"get", ip, "2.4"}), "0 " + typed + "\n|");
    }
    EXPECT_TRUE(Told("http 127.0.0.97:80 GET /set.oid?OidTB2.4=Yard%20%231%20%26%20GMT+1%2050%25"));
    EXPECT_EQ(Cli({"choices", "127.0.0.96", "timezone", "--port", "8080"}), "0 cet\nGMT\nCET\n|");
    EXPECT_EQ(Cli({"get", "127.0.0.97", "9.9"}), "1 |Query for 9.9 failed with\nunknown OID 9.9\n");
    // --trace after the command too; every argument error is the usage error, 2.
    const std::string traced = Cli({"get", "127.0.0.95", "2.4", "--trace"});
    EXPECT_EQ(traced.substr(0, typed.size() + 4), "0 " + typed + "\n|");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"get", "127.0.0.95"}, {"get", "127.0.0.999", "2.4"}, {"get", "127.0.0.95", "2.x"}, {"frobnicate"},
             {"set", "127.0.0.95", "2.4", "v", "--port", "0"}, {"get", "127.0.0.95", "2.4", "--bogus"}})
        EXPECT_EQ(Cli(bad).substr(0, 2), "2 ") << bad[0];
    EXPECT_EQ(Cli({"choices", "127.0.0.96", "timezone", "--port", "8099"}),
              "1 |Query for timezones failed with -1\r\nCamera http port may not be 80\n");
}

// Web servers that answer status 200 and then break the body off: a read
// takes only a whole body; a write, and the HTTP assignment, goes by the bytes
// that came, since a camera restarting as it applies cuts its reply.
TEST_F(SettingsCliLoopback, BrokenBodiesFailReadsAndWritesGoByWhatArrived) {
    using End = ScriptedHttp::End;
    const std::string ok = "HTTP/1.1 200 OK\r\n", chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const std::string announced = ok + "Content-Length: 60\r\n\r\n";
    ScriptedHttp cutChunk("127.0.0.170", 80, chunked + "40\r\n<xmp>CET</xmp>", End::Close);
    ScriptedHttp junkSize("127.0.0.171", 80, chunked + "zz\r\n<xmp>CET</xmp>\r\n0\r\n\r\n", End::Close);
    ScriptedHttp reset("127.0.0.172", 80, announced + "<xmp>CET</xmp>", End::Reset);
    ScriptedHttp shortBody("127.0.0.173", 80, announced + "<xmp>CET</xmp>", End::Close);
    ScriptedHttp refusal("127.0.0.174", 80, announced + "%Error<xmp>bad value</xmp>", End::Reset);
    // Its current timezone whole, its list cut.
    ScriptedHttp list("127.0.0.175", 80,
                      {{"get.oid", ok + "Content-Length: 14\r\n\r\n<xmp>CET</xmp>"}, {"", chunked + "40\r\n'GMT,CET'"}},
                      End::Close);
    for (const ScriptedHttp* server : {&cutChunk, &junkSize, &reset, &shortBody, &refusal, &list})
        ASSERT_TRUE(server->Ready());

    for (const std::string ip : {"127.0.0.170", "127.0.0.171", "127.0.0.172", "127.0.0.173", "127.0.0.174"}) {
        char value[64] = "stale";
        EXPECT_FALSE(At(ip).GetCameraOidHttp("2.17", value, sizeof value)) << ip;
        EXPECT_STREQ(lastError, "Query for 2.17 failed with -4") << ip;
        EXPECT_STREQ(value, "") << ip;
    }
    EXPECT_EQ(Cli({"get", "127.0.0.170", "2.17"}), "1 |Query for 2.17 failed with -4\n");
    EXPECT_EQ(Cli({"choices", "127.0.0.175", "timezone"}),
              "1 |Query for timezones failed with -4\r\nCamera http port may not be 80\n");

    EXPECT_EQ(Cli({"set", "127.0.0.170", "2.4", "Gate"}), "0 |");
    EXPECT_TRUE(cutChunk.Received("GET /set.oid?OidTB2.4=Gate HTTP/1.1"));
    EXPECT_EQ(Cli({"set", "127.0.0.174", "2.4", "Gate"}), "1 |Assignment failed with\nbad value\n");
    EXPECT_TRUE(refusal.Received("GET /set.oid?OidTB2.4=Gate HTTP/1.1"));

    CMdns mdns;
    auto assign = [&](const char* ip) {
        CameraRecord record{};
        std::snprintf(record.ipAddrText, sizeof record.ipAddrText, "%s", ip);
        std::snprintf(record.webAddr, sizeof record.webAddr, "%s:80", ip);
        return mdns.Assign(record, "10.77.0.40", "255.255.255.0", "10.77.0.1", 0, 1);
    };
    const std::string request =
        "GET /set.oid?OidTB3.6.2=10.77.0.1&OidTB3.6.1=255.255.255.0&OidTB3.6.10=10.77.0.40&OidTB4.2=disabled"
        "&OidTR2.11=1 HTTP/1.1";
    EXPECT_EQ(assign("127.0.0.172"), 0);
    EXPECT_TRUE(reset.Received(request));
    EXPECT_EQ(assign("127.0.0.174"), 3);
    EXPECT_TRUE(refusal.Received(request));
}

// A camera that refuses with 401 and a challenge the client cannot answer, or
// none: the user is told of the authentication error, not of a wrong port.
TEST_F(SettingsCliLoopback, EveryFinal401IsAnAuthenticationError) {
    const std::string refused = "HTTP/1.1 401 Unauthorized\r\n";
    // The current value is read without credentials and answered; the lists are refused.
    const std::string current = "HTTP/1.1 200 OK\r\nContent-Length: 14\r\n\r\n<xmp>CET</xmp>";
    ScriptedHttp foo(
        "127.0.0.176", 80,
        {{"get.oid", current}, {"", refused + "WWW-Authenticate: Foo realm=\"cam\"\r\nContent-Length: 0\r\n\r\n"}},
        ScriptedHttp::End::Close);
    ScriptedHttp bare("127.0.0.177", 80, {{"get.oid", current}, {"", refused + "Content-Length: 0\r\n\r\n"}},
                      ScriptedHttp::End::Close);
    ASSERT_TRUE(foo.Ready() && bare.Ready());

    for (const std::string ip : {"127.0.0.176", "127.0.0.177"}) {
        CWebClient client;
        std::unique_ptr<char[]> body;
        EXPECT_EQ(client.ReadURL(("http://root:qivnep@" + ip + "/DPARSE_$O(2.17,L).cmd").c_str(), body), -1) << ip;
        EXPECT_EQ(client.openStatus, 401) << ip;
        EXPECT_EQ(body, nullptr) << ip;
    }
    EXPECT_EQ(Cli({"choices", "127.0.0.176", "timezone"}), "1 |Timezone list query failed with authentication error\n");
    EXPECT_EQ(Cli({"choices", "127.0.0.177", "analog"}),
              "1 |Analog option list query failed with authentication error\n");
    EXPECT_TRUE(foo.Received("GET /DPARSE_$O(2.17,L).cmd HTTP/1.1"));
}

// OID services whose nonce comes late or twice: vantrel-cli reports a change
// only when the camera made it, and never prints the nonce as a value.
TEST_F(SettingsCliLoopback, LateOrRepeatedNonceIsNeverTakenForTheAnswer) {
    Start(json::array({Camera("127.0.0.100", 0, "none", kCet)}));  // the web server of .100; .101, .102 have none
    OidStandIn lateWithWeb("127.0.0.100", 3, OidStandIn::Fault::LateNonce);
    OidStandIn late("127.0.0.101", 3, OidStandIn::Fault::LateNonce);
    OidStandIn twice("127.0.0.102", 3, OidStandIn::Fault::NonceTwice);

    // No nonce in time: no OID request goes out, the web server takes the name.
    EXPECT_EQ(Cli({"set", "127.0.0.100", "2.4", "NewName"}), "0 |");
    EXPECT_TRUE(Told("http 127.0.0.100:80 GET /set.oid?OidTB2.4=NewName"));
    EXPECT_TRUE(Told("set 127.0.0.100 2.4=NewName"));
    EXPECT_EQ(Cli({"get", "127.0.0.100", "2.17"}), "0 CET\n|");
    EXPECT_EQ(lateWithWeb.Heard(), "7 16 7 16 ");

    // Without a web server the change fails and no nonce byte is printed.
    const std::string set = Cli({"set", "127.0.0.101", "2.4", "NewName"});
    const std::string get = Cli({"get", "127.0.0.101", "2.17"});
    EXPECT_EQ(set.substr(0, 3), "1 |") << set;
    EXPECT_EQ(get.substr(0, 3), "1 |") << get;
    EXPECT_EQ(get.find(static_cast<char>(OidStandIn::kFirstNonce[0])), std::string::npos) << get;
    EXPECT_EQ(late.Value("2.4"), "Cam101");
    EXPECT_EQ(late.Heard(), "7 16 7 16 ");

    // Repeats before and during the wait for the answer are passed over.
    EXPECT_EQ(Cli({"set", "127.0.0.102", "2.4", "NewName"}), "0 |");
    EXPECT_EQ(twice.Value("2.4"), "NewName");
    EXPECT_EQ(Cli({"get", "127.0.0.102", "2.17"}), "0 CET\n|");
    EXPECT_EQ(twice.Heard(), "7 16 15 7 16 15 ");
}

// A forger answers each read first, from the camera's address on another
// port and from another address: only the camera's own answer is printed.
TEST_F(SettingsCliLoopback, RepliesFromAnotherAddressOrPortAreNotTaken) {
    OidStandIn third("127.0.0.103", 3, OidStandIn::Fault::Forged);
    OidStandIn fourth("127.0.0.105", 4, OidStandIn::Fault::Forged);
    EXPECT_EQ(Cli({"get", "127.0.0.103", "2.4"}), "0 Cam103\n|");
    EXPECT_EQ(Cli({"get", "127.0.0.105", "2.17"}), "0 CET\n|");
    EXPECT_EQ(third.Forgeries() + fourth.Forgeries(), 4);
}

}  // namespace
