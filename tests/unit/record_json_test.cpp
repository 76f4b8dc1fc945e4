// What vantrel-cli prints of a record.
#include "record_json.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

#include "camera_records.h"

namespace {

TEST(RecordJson, EveryFieldAndItsForm) {
    CameraRecord r = MakeRecord({.name = "Caf\xe9",
                                 .type = "ZC-100",
                                 .hw = "02:e5:a1:0a:0b:0c",
                                 .ip = "10.1.2.3",
                                 .subnet = "255.0.0.0",
                                 .dhcp = 2,
                                 .code = 60,
                                 .drovik = true,
                                 .httpPort = 80});
    inet_pton(AF_INET, "10.1.2.100", &r.ifaceAddr.sin_addr);

    nlohmann::json j = RecordToJson(r);
    EXPECT_EQ(j["name"], "Caf\xc3\xa9");  // Latin-1 byte as UTF-8
    EXPECT_EQ(j["hwAddr"], "02e5a10a0b0c");
    EXPECT_EQ(j["ipAddr"], "10.1.2.3");
    EXPECT_EQ(j["gatewayText"], "");
    EXPECT_EQ(j["productCode"], 60);
    EXPECT_EQ(j["dhcp"], 2);
    EXPECT_EQ(j["foundByDrovik"], 1);
    EXPECT_EQ(j["httpPortText"], "80");
    EXPECT_EQ(j["webAddr"], "10.1.2.3:80");
    EXPECT_EQ(j["ifaceAddr"], "10.1.2.100");
    EXPECT_EQ(j["conflict"], false);
    EXPECT_EQ(j.size(), 16u);
    EXPECT_EQ(RecordToRow(r), "Caf\xc3\xa9\tZC-100\t02:e5:a1:0a:0b:0c\t10.1.2.3");

    // A camera that would steer the terminal and print a row of its own: one
    // visible line. JSON keeps its bytes (escaped by JSON itself).
    std::strcpy(r.name, "\x1b]0;owned\x07\x1b[2J\nFake\t02:e5:a1:00:00:01\t10.1.2.9\x9b");
    std::strcpy(r.productName, "ZC\r\x7f");
    EXPECT_EQ(RecordToRow(r),
              "\\x1b]0;owned\\x07\\x1b[2J\\x0aFake\\x0902:e5:a1:00:00:01\\x0910.1.2.9\\x9b"
              "\tZC\\x0d\\x7f\t02:e5:a1:0a:0b:0c\t10.1.2.3");
    EXPECT_EQ(RecordToJson(r)["productName"], "ZC\r\x7f");
}

}  // namespace
