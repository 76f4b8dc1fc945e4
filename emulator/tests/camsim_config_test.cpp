// The emulator's JSON config: keys, defaults, and the errors that must stop
// it before it plays a camera different from the one a test meant.

#include "camera_config.h"
#include "test_lan.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace camsim {
namespace {

TEST(Config, ReadsEveryKeyAndLeavesDefaultsForAbsentOrNull) {
    CameraConfig config = ParseCameraConfig(R"({"cameras": [
      {"name": "Lobby", "hwAddr": "02:E5:a1:00:00:01", "ip": "10.77.0.11", "subnet": "255.255.255.0",
       "gateway": "10.77.0.1", "productName": "ZC-100", "productCode": "3c", "dhcp": 2, "httpPort": 8080,
       "answer": "every", "drovik": false, "mdns": true, "mdnsOrder": ["nsec", "aaaa", "a", "txt", "srv", "txt"],
       "mdnsSection": "answer", "txt": ["server name", "", "k=v"], "mdnsDelayMs": 500,
       "zorvo": true, "zorvoVersion": 2, "zorvoFault": "shortRead", "oids": {"2.4": "Other", "2.17": "CET"},
       "password": "s3cret", "assignReply": "code4", "assignWrongIds": 3, "assignDelayMs": 60000,
       "http": true, "httpAuth": "digest", "httpFault": "bare", "httpLists": {"2.17": "'GMT,CET'"}},
      {"hwAddr": "02:e5:a1:00:00:02", "name": "Porch", "productCode": "", "httpPort": null, "oids": {"2.17": ""},
       "mdnsOrder": [], "txt": []},
      {"hwAddr": "02:e5:a1:00:00:03", "ip": null}]})");
    ASSERT_TRUE(config.Ok()) << config.error;
    ASSERT_EQ(config.cameras.size(), 3u);
    const Camera& full = config.cameras[0];
    EXPECT_EQ(full.name, "Lobby");
    EXPECT_EQ(full.hwAddr, (HwAddr{0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01}));
    EXPECT_EQ(full.ip, (Ipv4{10, 77, 0, 11}));
    EXPECT_EQ(full.subnet, (Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(full.gateway, (Ipv4{10, 77, 0, 1}));
    EXPECT_EQ(full.productName, "ZC-100");
    EXPECT_EQ(full.productCode, "3c");
    EXPECT_EQ(full.dhcp, 2);
    EXPECT_EQ(full.httpPort, 8080);
    EXPECT_EQ(full.answer, AnswerMode::Every);
    EXPECT_FALSE(full.drovik);
    EXPECT_TRUE(full.mdns);
    EXPECT_EQ(full.mdnsOrder, (std::vector<MdnsRecord>{MdnsRecord::Nsec, MdnsRecord::Aaaa, MdnsRecord::A,
                                                       MdnsRecord::Txt, MdnsRecord::Srv, MdnsRecord::Txt}));
    EXPECT_EQ(full.mdnsSection, MdnsSection::Answer);
    EXPECT_EQ(full.txt, (std::vector<std::string>{"server name", "", "k=v"}));
    EXPECT_EQ(full.mdnsDelayMs, 500u);
    EXPECT_TRUE(full.zorvo);
    EXPECT_EQ(full.zorvoVersion, 2);
    EXPECT_EQ(full.zorvoFault, ZorvoFault::ShortRead);
    EXPECT_EQ(full.oids, (std::map<std::string, std::string>{{"2.4", "Other"}, {"2.17", "CET"}}));
    EXPECT_EQ(full.password, "s3cret");
    EXPECT_EQ(full.assignReply, AssignReply::Code4);
    EXPECT_EQ(full.assignWrongIds, 3u);
    EXPECT_EQ(full.assignDelayMs, 60000u);
    EXPECT_TRUE(full.http);
    EXPECT_EQ(full.httpAuth, HttpAuth::Digest);
    EXPECT_EQ(full.httpFault, HttpFault::Bare);
    EXPECT_EQ(full.httpLists, (std::map<std::string, std::string>{{"2.17", "'GMT,CET'"}}));

    // Present but empty is not absent: an empty product code is sent, empty lists are kept.
    const Camera& porch = config.cameras[1];
    EXPECT_EQ(porch.productCode, "");
    EXPECT_FALSE(porch.httpPort);
    EXPECT_EQ(porch.oids, (std::map<std::string, std::string>{{"2.4", "Porch"}, {"2.17", ""}}));
    EXPECT_TRUE(porch.mdnsOrder.empty());
    EXPECT_EQ(porch.txt, std::vector<std::string>{});

    // Every default, with the (empty) name as OID 2.4.
    Camera bare;
    bare.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x03};
    bare.oids = {{"2.4", ""}};
    EXPECT_TRUE(config.cameras[2] == bare);

    EXPECT_TRUE(ParseCameraConfig(R"({"cameras": []})").Ok());
}

TEST(Config, RefusesBadInputNamingTheKey) {
    const std::pair<std::string, const char*> whole[] = {
        {R"({"cameras": [)", "not valid JSON"},
        {R"([])", "cameras"},
        {R"({"cameras": {}})", "cameras"},
        {R"({"cameras": [], "camera": []})", "camera: unknown field"},
        {R"({"cameras": [7]})", "cameras[0]"},
        {R"({"cameras": [{"name": "x"}]})", "cameras[0].hwAddr: missing"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01"}, {"hwAddr": "02:e5:a1:00:00:02", "ip": "10.0.0.256"}]})",
         "cameras[1].ip"},
    };
    std::vector<std::pair<std::string, const char*>> cases(std::begin(whole), std::end(whole));
    // One key of a camera entry each.
    for (const auto& [fields, mustMention] : std::vector<std::pair<std::string, const char*>>{
             {R"("hwAddr": "02:e5:a1:00:00")", "cameras[0].hwAddr"},
             {R"("hwAddr": "02-e5-a1-00-00-01")", "cameras[0].hwAddr"},
             {R"("hwAddr": "02:e5:a1:00:00:0g")", "cameras[0].hwAddr"},
             {R"("hwAddr": " 2:e5:a1:00:00:01")", "cameras[0].hwAddr"},
             {R"("hwAddr": 12)", "cameras[0].hwAddr"},
             {R"("subnet": "255.255.255")", "cameras[0].subnet"},
             {R"("gateway": 167772161)", "cameras[0].gateway"},
             {R"("name": 5)", "cameras[0].name"},
             {R"("productCode": 60)", "cameras[0].productCode"},
             {R"("dhcp": 256)", "cameras[0].dhcp"},
             {R"("dhcp": true)", "cameras[0].dhcp"},
             {R"("httpPort": -1)", "cameras[0].httpPort"},
             {R"("httpPort": "80")", "cameras[0].httpPort"},
             {R"("httpPort": 80.5)", "cameras[0].httpPort"},
             {R"("httpPort": 18446744073709551615)", "cameras[0].httpPort"},
             {R"("answer": "sometimes")", "cameras[0].answer"},
             {R"("httpport": 80)", "cameras[0].httpport: unknown field"},
             {R"("drovik": "no")", "cameras[0].drovik"},
             {R"("mdns": 1)", "cameras[0].mdns"},
             {R"("mdnsOrder": "srv")", "cameras[0].mdnsOrder"},
             {R"("mdnsOrder": ["srv", "ptr"])", "cameras[0].mdnsOrder[1]"},
             {R"("mdnsOrder": ["srv", 33])", "cameras[0].mdnsOrder[1]"},
             {R"("mdnsSection": "authority")", "cameras[0].mdnsSection"},
             {R"("txt": ["k=v", 5])", "cameras[0].txt[1]"},
             {R"("mdnsDelayMs": 501)", "cameras[0].mdnsDelayMs"},
             {R"("zorvoVersion": "4")", "cameras[0].zorvoVersion"},
             {R"("zorvoFault": "noVersion")", "cameras[0].zorvoFault"},
             {R"("zorvoFault": 1)", "cameras[0].zorvoFault"},
             {R"("oids": ["2.4"])", "cameras[0].oids"},
             {R"("oids": {"2.4": 5})", "cameras[0].oids.2.4"},
             {R"("password": 1)", "cameras[0].password"},
             {R"("assignReply": "loud")", "cameras[0].assignReply"},
             {R"("assignWrongIds": 256)", "cameras[0].assignWrongIds"},
             {R"("httpFault": "late")", "cameras[0].httpFault"},
             {R"("httpLists": {"2.17": ["GMT"]})", "cameras[0].httpLists.2.17"},
             {R"("rawReplyHex": "0102")", "cameras[0].rawReplyHex: unknown field"},
         }) {
        const std::string hw = fields.starts_with("\"hwAddr\"") ? "" : R"("hwAddr": "02:e5:a1:00:00:01", )";
        cases.emplace_back(R"({"cameras": [{)" + hw + fields + "}]}", mustMention);
    }
    for (const auto& [json, mustMention] : cases) {
        CameraConfig config = ParseCameraConfig(json);
        EXPECT_FALSE(config.Ok()) << json;
        EXPECT_NE(config.error.find(mustMention), std::string::npos)
            << json << "\n  error: " << config.error << "\n  should mention: " << mustMention;
        EXPECT_TRUE(config.cameras.empty()) << json;
    }
    EXPECT_FALSE(LoadCameraConfigFile("/nonexistent/camsim.json").Ok());
}

// What a test harness sees of a refusal: exit status 2 and the reason on standard error.
TEST(CommandLine, BadConfigForeignSenderAndPoolEndWithStatus2AndTheReason) {
    const std::string dir = "/tmp/camsim-cli-" + std::to_string(getpid());
    std::ofstream(dir + ".json") << R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpport": 80}]})";
    const std::vector<std::vector<std::string>> runs = {
        {VANTREL_CAMSIM, "--config", dir + ".json"},
        {VANTREL_CAMSIM, "noise", "--port", "43283", "--interval-ms", "0", "--count", "1", "--from", "192.0.2.77"},
        {VANTREL_CAMSIM, "--config", dir + ".json", "--take-addresses", "--dhcp-pool", "10.77.0.119-10.77.0.100"},
    };
    const char* reasons[] = {"cameras[0].httpport: unknown field", "--from 192.0.2.77: no local link has this address",
                             "--dhcp-pool: not two IPv4 addresses FIRST-LAST in order: 10.77.0.119-10.77.0.100"};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        auto process = StartHere(runs[i], dir + ".err");
        ASSERT_TRUE(process);
        EXPECT_EQ(process->Wait(std::chrono::seconds(20)), 2);
        std::stringstream err;
        err << std::ifstream(dir + ".err").rdbuf();
        EXPECT_NE(err.str().find(reasons[i]), std::string::npos) << err.str();
    }
    std::remove((dir + ".json").c_str());
    std::remove((dir + ".err").c_str());
}

}  // namespace
}  // namespace camsim
