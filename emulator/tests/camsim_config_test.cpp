// The emulator's JSON config: fields, defaults, and the errors that must stop
// it before it plays a camera different from the one a test meant.

#include "camera_config.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace camsim {
namespace {

TEST(Config, ReadsEveryField) {
    CameraConfig config = parseCameraConfig(R"({ "cameras": [
      { "name": "Lobby", "hwAddr": "02:E5:a1:00:00:01", "ip": "10.77.0.11", "subnet": "255.255.255.0",
        "gateway": "10.77.0.1", "productName": "ZC-100", "productCode": "3c", "dhcp": 2,
        "httpPort": 8080, "answer": "every",
        "extraOptions": [ {"type": 9, "hex": "0102"}, {"type": 255, "hex": "", "length": 300} ],
        "noEndMarker": true, "rawReplyHex": "01 02 0a" } ] })");
    ASSERT_TRUE(config.ok()) << config.error;
    ASSERT_EQ(config.cameras.size(), 1u);
    const Camera& cam = config.cameras[0];
    EXPECT_EQ(cam.name, "Lobby");
    EXPECT_EQ(cam.hwAddr, (HwAddr{0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01}));
    EXPECT_EQ(cam.ip, (Ipv4{10, 77, 0, 11}));
    EXPECT_EQ(cam.subnet, (Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(cam.gateway, (Ipv4{10, 77, 0, 1}));
    EXPECT_EQ(cam.productName, "ZC-100");
    EXPECT_EQ(cam.productCode, "3c");
    EXPECT_EQ(cam.dhcp, 2);
    EXPECT_EQ(cam.httpPort, 8080);
    EXPECT_EQ(cam.answer, AnswerMode::Every);
    ASSERT_EQ(cam.extraOptions.size(), 2u);
    EXPECT_EQ(cam.extraOptions[0].type, 9);
    EXPECT_EQ(cam.extraOptions[0].value, (std::vector<std::uint8_t>{0x01, 0x02}));
    EXPECT_FALSE(cam.extraOptions[0].declaredLength);
    EXPECT_EQ(cam.extraOptions[1].type, 255);
    EXPECT_TRUE(cam.extraOptions[1].value.empty());
    EXPECT_EQ(cam.extraOptions[1].declaredLength, 300);
    EXPECT_TRUE(cam.noEndMarker);
    EXPECT_EQ(cam.rawReply, (std::vector<std::uint8_t>{0x01, 0x02, 0x0a}));
}

TEST(Config, DefaultsWhenOnlyHwAddrIsGiven) {
    CameraConfig config = parseCameraConfig(R"({"cameras": [
        {"hwAddr": "02:e5:a1:00:00:02"},
        {"hwAddr": "02:e5:a1:00:00:03", "productCode": "", "httpPort": null, "rawReplyHex": null}]})");
    ASSERT_TRUE(config.ok()) << config.error;
    ASSERT_EQ(config.cameras.size(), 2u);
    const Camera& bare = config.cameras[0];
    EXPECT_EQ(bare.name, "");
    EXPECT_EQ(bare.ip, (Ipv4{0, 0, 0, 0}));
    EXPECT_EQ(bare.subnet, (Ipv4{0, 0, 0, 0}));
    EXPECT_EQ(bare.gateway, (Ipv4{0, 0, 0, 0}));
    EXPECT_EQ(bare.productName, "");
    EXPECT_FALSE(bare.productCode);  // absent: option left out
    EXPECT_EQ(bare.dhcp, 0);
    EXPECT_FALSE(bare.httpPort);
    EXPECT_EQ(bare.answer, AnswerMode::Range);
    EXPECT_TRUE(bare.extraOptions.empty());
    EXPECT_FALSE(bare.noEndMarker);
    EXPECT_FALSE(bare.rawReply);
    // Present but empty is not the same as absent.
    EXPECT_EQ(config.cameras[1].productCode, "");
    EXPECT_FALSE(config.cameras[1].httpPort);
    EXPECT_FALSE(config.cameras[1].rawReply);
}

TEST(Config, EmptyCameraListIsValid) {
    CameraConfig config = parseCameraConfig(R"({"cameras": []})");
    EXPECT_TRUE(config.ok()) << config.error;
    EXPECT_TRUE(config.cameras.empty());
}

TEST(Config, RejectsBadInputNamingTheField) {
    struct Case {
        const char* json;
        const char* mustMention;
    };
    const Case cases[] = {
        {R"({"cameras": [)", "not valid JSON"},
        {R"([])", "cameras"},
        {R"({})", "cameras"},
        {R"({"cameras": {}})", "cameras"},
        {R"({"cameras": [], "camera": []})", "camera: unknown field"},
        {R"({"cameras": [7]})", "cameras[0]"},
        {R"({"cameras": [{"name": "x"}]})", "cameras[0].hwAddr: missing"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00"}]})", "cameras[0].hwAddr"},
        {R"({"cameras": [{"hwAddr": "02-e5-a1-00-00-01"}]})", "cameras[0].hwAddr"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:0g"}]})", "cameras[0].hwAddr"},
        {R"({"cameras": [{"hwAddr": 12}]})", "cameras[0].hwAddr"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01"}, {"hwAddr": "02:e5:a1:00:00:02", "ip": "10.0.0.256"}]})",
         "cameras[1].ip"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "subnet": "255.255.255"}]})", "cameras[0].subnet"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "gateway": 167772161}]})", "cameras[0].gateway"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "name": 5}]})", "cameras[0].name"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "productCode": 60}]})", "cameras[0].productCode"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "dhcp": 256}]})", "cameras[0].dhcp"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "dhcp": true}]})", "cameras[0].dhcp"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpPort": 65536}]})", "cameras[0].httpPort"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpPort": -1}]})", "cameras[0].httpPort"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpPort": "80"}]})", "cameras[0].httpPort"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpPort": 80.5}]})", "cameras[0].httpPort"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpPort": 18446744073709551615}]})",
         "cameras[0].httpPort"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "answer": "sometimes"}]})", "cameras[0].answer"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "noEndMarker": 1}]})", "cameras[0].noEndMarker"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "httpport": 80}]})", "cameras[0].httpport: unknown"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "rawReplyHex": "0102x3"}]})", "cameras[0].rawReplyHex"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "rawReplyHex": "010"}]})", "cameras[0].rawReplyHex"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "extraOptions": {"type": 9}}]})",
         "cameras[0].extraOptions"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "extraOptions": [{"hex": "01"}]}]})",
         "cameras[0].extraOptions[0].type"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "extraOptions": [{"type": 256, "hex": ""}]}]})",
         "cameras[0].extraOptions[0].type"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "extraOptions": [{"type": 9, "hex": "1"}]}]})",
         "cameras[0].extraOptions[0].hex"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "extraOptions": [{"type": 9, "length": 65536}]}]})",
         "cameras[0].extraOptions[0].length"},
        {R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", "extraOptions": [{"type": 9, "lenght": 2}]}]})",
         "cameras[0].extraOptions[0].lenght: unknown"},
    };
    for (const Case& c : cases) {
        CameraConfig config = parseCameraConfig(c.json);
        EXPECT_FALSE(config.ok()) << c.json;
        EXPECT_NE(config.error.find(c.mustMention), std::string::npos)
            << c.json << "\n  error: " << config.error << "\n  should mention: " << c.mustMention;
        EXPECT_TRUE(config.cameras.empty()) << c.json;
    }
}

TEST(Config, ReadsMdnsFieldsAndTheirDefaults) {
    CameraConfig config = parseCameraConfig(R"({"cameras": [
        {"hwAddr": "02:e5:a1:00:00:01", "drovik": false, "mdns": true, "instance": "Gate-02e5a1",
         "mdnsOrder": ["nsec", "aaaa", "a", "txt", "srv", "txt"], "mdnsSection": "answer",
         "mdnsCompression": false, "txt": ["server name", "", "k=v"], "mdnsDelayMs": 500},
        {"hwAddr": "02:e5:a1:00:00:02", "mdnsOrder": [], "txt": [], "mdnsSection": "additional"},
        {"hwAddr": "02:e5:a1:00:00:03"}]})");
    ASSERT_TRUE(config.ok()) << config.error;
    ASSERT_EQ(config.cameras.size(), 3u);
    const Camera& full = config.cameras[0];
    EXPECT_FALSE(full.drovik);
    EXPECT_TRUE(full.mdns);
    EXPECT_EQ(full.instance, "Gate-02e5a1");
    EXPECT_EQ(full.mdnsOrder, (std::vector<MdnsRecord>{MdnsRecord::Nsec, MdnsRecord::Aaaa, MdnsRecord::A,
                                                       MdnsRecord::Txt, MdnsRecord::Srv, MdnsRecord::Txt}));
    EXPECT_EQ(full.mdnsSection, MdnsSection::Answer);
    EXPECT_FALSE(full.mdnsCompression);
    EXPECT_EQ(full.txt, (std::vector<std::string>{"server name", "", "k=v"}));
    EXPECT_EQ(full.mdnsDelayMs, 500u);

    // Empty lists are kept: a PTR alone, a TXT record without strings.
    EXPECT_TRUE(config.cameras[1].mdnsOrder.empty());
    EXPECT_EQ(config.cameras[1].txt, std::vector<std::string>{});
    EXPECT_EQ(config.cameras[1].mdnsSection, MdnsSection::Additional);

    const Camera& bare = config.cameras[2];
    EXPECT_TRUE(bare.drovik);
    EXPECT_FALSE(bare.mdns);
    EXPECT_FALSE(bare.instance);
    EXPECT_EQ(bare.mdnsOrder, (std::vector<MdnsRecord>{MdnsRecord::Srv, MdnsRecord::Txt, MdnsRecord::A}));
    EXPECT_EQ(bare.mdnsSection, MdnsSection::Additional);
    EXPECT_TRUE(bare.mdnsCompression);
    EXPECT_FALSE(bare.txt);
    EXPECT_EQ(bare.mdnsDelayMs, 0u);
}

TEST(Config, RejectsBadMdnsFieldsNamingTheField) {
    const std::string hw = R"("hwAddr": "02:e5:a1:00:00:01", )";
    std::string thirtyThreeRecords = R"("mdnsOrder": ["a")";
    for (int i = 1; i < 33; ++i) thirtyThreeRecords += R"(, "a")";
    thirtyThreeRecords += "]";
    const std::pair<std::string, const char*> cases[] = {
        {R"("drovik": "no")", "cameras[0].drovik"},
        {R"("mdns": 1)", "cameras[0].mdns"},
        {R"("instance": "")", "cameras[0].instance"},
        {R"("instance": ")" + std::string(64, 'i') + "\"", "cameras[0].instance"},
        {R"("instance": 7)", "cameras[0].instance"},
        {R"("mdnsOrder": "srv")", "cameras[0].mdnsOrder"},
        {R"("mdnsOrder": ["srv", "ptr"])", "cameras[0].mdnsOrder[1]"},
        {R"("mdnsOrder": ["SRV"])", "cameras[0].mdnsOrder[0]"},
        {R"("mdnsOrder": [33])", "cameras[0].mdnsOrder[0]"},
        {thirtyThreeRecords, "cameras[0].mdnsOrder"},
        {R"("mdnsSection": "authority")", "cameras[0].mdnsSection"},
        {R"("mdnsCompression": "yes")", "cameras[0].mdnsCompression"},
        {R"("txt": "k=v")", "cameras[0].txt"},
        {R"("txt": ["k=v", 5])", "cameras[0].txt[1]"},
        {R"("txt": [")" + std::string(256, 't') + "\"]", "cameras[0].txt[0]"},
        {R"("mdnsDelayMs": 501)", "cameras[0].mdnsDelayMs"},
        {R"("mdnsDelayMs": -1)", "cameras[0].mdnsDelayMs"},
        {R"("mdnsDelayMs": 1.5)", "cameras[0].mdnsDelayMs"},
        {R"("mdnsdelayms": 1)", "cameras[0].mdnsdelayms: unknown"},
    };
    for (const auto& [fields, mustMention] : cases) {
        std::string json = R"({"cameras": [{)" + hw + fields + "}]}";
        CameraConfig config = parseCameraConfig(json);
        EXPECT_FALSE(config.ok()) << json;
        EXPECT_NE(config.error.find(mustMention), std::string::npos)
            << json << "\n  error: " << config.error << "\n  should mention: " << mustMention;
    }
}

TEST(Config, ReadsOidAndAssignmentFieldsAndTheirDefaults) {
    CameraConfig config = parseCameraConfig(R"({"cameras": [
        {"hwAddr": "02:e5:a1:00:00:01", "name": "Gate", "zorvo": true, "zorvoVersion": 2,
         "zorvoFault": "shortRead", "oids": {"2.4": "Other", "2.17": "CET"}, "password": "s3cret",
         "assignReply": "code4", "assignWrongIds": 3},
        {"hwAddr": "02:e5:a1:00:00:02", "name": "Porch", "oids": {"2.17": ""}}]})");
    ASSERT_TRUE(config.ok()) << config.error;
    const Camera& full = config.cameras[0];
    EXPECT_TRUE(full.zorvo);
    EXPECT_EQ(full.zorvoVersion, 2);
    EXPECT_EQ(full.zorvoFault, ZorvoFault::ShortRead);
    EXPECT_EQ(full.oids, (std::map<std::string, std::string>{{"2.4", "Other"}, {"2.17", "CET"}}));
    EXPECT_EQ(full.password, "s3cret");
    EXPECT_EQ(full.assignReply, AssignReply::Code4);
    EXPECT_EQ(full.assignWrongIds, 3u);

    const Camera& bare = config.cameras[1];
    EXPECT_FALSE(bare.zorvo);
    EXPECT_EQ(bare.zorvoVersion, 4);
    EXPECT_EQ(bare.zorvoFault, ZorvoFault::None);
    EXPECT_EQ(bare.oids, (std::map<std::string, std::string>{{"2.4", "Porch"}, {"2.17", ""}}));
    EXPECT_EQ(bare.password, "qivnep");
    EXPECT_EQ(bare.assignReply, AssignReply::Normal);
    EXPECT_EQ(bare.assignWrongIds, 0u);
}

TEST(Config, RejectsBadOidAndAssignmentFieldsNamingTheField) {
    const std::pair<const char*, const char*> cases[] = {
        {R"("zorvo": "yes")", "cameras[0].zorvo"},
        {R"("zorvoVersion": 4.5)", "cameras[0].zorvoVersion"},
        {R"("zorvoVersion": "4")", "cameras[0].zorvoVersion"},
        {R"("zorvoFault": "late")", "cameras[0].zorvoFault"},
        {R"("zorvoFault": 1)", "cameras[0].zorvoFault"},
        {R"("oids": ["2.4"])", "cameras[0].oids"},
        {R"("oids": {"2.4": 5})", "cameras[0].oids.2.4"},
        {R"("password": 1)", "cameras[0].password"},
        {R"("assignReply": "loud")", "cameras[0].assignReply"},
        {R"("assignWrongIds": -1)", "cameras[0].assignWrongIds"},
        {R"("assignWrongIds": 256)", "cameras[0].assignWrongIds"},
    };
    for (const auto& [fields, mustMention] : cases) {
        std::string json = std::string(R"({"cameras": [{"hwAddr": "02:e5:a1:00:00:01", )") + fields + "}]}";
        CameraConfig config = parseCameraConfig(json);
        EXPECT_FALSE(config.ok()) << json;
        EXPECT_NE(config.error.find(mustMention), std::string::npos)
            << json << "\n  error: " << config.error << "\n  should mention: " << mustMention;
    }
}

TEST(Config, UnreadableFileIsAnError) {
    CameraConfig config = loadCameraConfigFile("/nonexistent/camsim.json");
    EXPECT_FALSE(config.ok());
}

}  // namespace
}  // namespace camsim
