// Provisioning plans: what is refused (with its line), what quoting allows,
// and that `scan --csv` output reads back as a plan that changes nothing.
#include "tools/provision_plan.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/csv_text.h"
#include "tools/record_json.h"

namespace {

std::vector<std::string> Faults(const char* text) {
    std::vector<std::string> out;
    for (const PlanFault& f : ParsePlan(text).faults) out.push_back(std::to_string(f.line) + ": " + f.text);
    return out;
}

TEST(ProvisionPlan, EveryFaultIsNamedWithItsLine) {
    EXPECT_EQ(Faults("# site plan\n"
                     "hwaddr,ip,subnet,gateway,name\n"
                     "02:e5:a1:00:00:01,10.0.0.11,255.255.255.0,10.0.0.1,Gate-1\n"     // 3: fine
                     "02:e5:a1:00:00:1,10.0.0.12,255.255.255.0,10.0.0.1,\n"            // 4
                     "02:e5:a1:00:00:03,255.255.255.255,,10.0.0.1,Lobby\n"             // 5
                     "02:e5:a1:00:00:04,10.0.0.14,255.255.255.0,,Cam 4\n"             // 6
                     "02-E5-A1-00-00-01,10.0.0.15,255.255.255.0,10.0.0.1,\n"           // 7
                     "02:e5:a1:00:00:06,10.0.0.11,255.255.255.0,10.0.0.1,\n"           // 8
                     "\n"
                     "02:e5:a1:00:00:07,dhcp,255.255.255.0,,\n"                        // 10
                     "02:e5:a1:00:00:08,DHCP,,,ABCDEFGHIJKLMNOPQ\n"                     // 11
                     "02:e5:a1:00:00:09,10.0.0.19,255.255.255.0\n"                     // 12
                     "02:e5:a1:00:00:0a,\"10.0.0.20\"x,255.255.255.0,10.0.0.1,\n"       // 13
                     "02:e5:a1:00:00:0b,10.0.0.21,255.255.255.0,10.0.0.1,\"Gate\n"      // 14: never closed
                     "-2\n"),
              (std::vector<std::string>{
                  "4: bad hardware address \"02:e5:a1:00:00:1\"",
                  "5: Invalid IP address. Use xxx.xxx.xxx.xxx",
                  "5: Invalid subnet mask. Use xxx.xxx.xxx.xxx",
                  "6: Invalid Gateway. Use xxx.xxx.xxx.xxx",
                  "6: Invalid name.  Use alphanumeric, '-' or '_' only",
                  "7: hardware address 02:e5:a1:00:00:01 also on line 3",
                  "8: address 10.0.0.11 also on line 3",
                  "10: with dhcp, subnet and gateway stay empty",
                  "11: Name exceeds maximum of 16 characters",
                  "12: 3 fields where the header has 5",
                  "13: text after a closing quote",
                  "14: a quoted field is not closed",
              }));

    EXPECT_EQ(Faults("hwaddr,ip,mask,gateway,name,name\n02:e5:a1:00:00:01,dhcp,,,,\n"),
              (std::vector<std::string>{"1: unknown column \"mask\"", "1: column \"name\" twice",
                                        "1: no column \"subnet\""}));
    EXPECT_EQ(Faults("# nothing but notes\n\n"),
              (std::vector<std::string>{"1: no header line (hwaddr,ip,subnet,gateway,name)"}));
    EXPECT_EQ(Faults("hwaddr,ip,subnet,gateway,name,via\n02:e5:a1:00:00:01,dhcp,,,,udp\n"
                     "02:e5:a1:00:00:02,10.0.0.1,255.0.0.0,10.0.0.1,a\"b\n"),
              (std::vector<std::string>{"2: via is drovik, mdns or empty", "3: a quote inside an unquoted field"}));
}

TEST(ProvisionPlan, QuotingNotesColumnOrderAndLineEndings) {
    const Plan plan = ParsePlan(
        "  # exported from the site plan\r\n"
        "name,\"hwaddr\",ip,subnet,gateway,type,via\r\n"
        "\"Gate-1\",02-E5-A1-00-00-01, 10.0.0.11 ,255.255.255.0,10.0.0.1,\"ZC-100, \"\"outdoor\"\"\r\nmast\",mdns\r\n"
        "\r\n"
        "\"\",02e5a1000002,dhcp,,,,\r\n"
        "Lobby,02:e5:a1:00:00:03,10.1,255.0.0.0,10.0.0.1,,DROVIK");
    ASSERT_TRUE(plan.faults.empty()) << plan.faults.front().line << ": " << plan.faults.front().text;
    ASSERT_EQ(plan.rows.size(), 3u);
    const PlanRow& gate = plan.rows[0];
    EXPECT_EQ(gate.line, 3);
    EXPECT_EQ(gate.hwAddrText, "02:e5:a1:00:00:01");
    EXPECT_EQ(gate.hwAddr[5], 1);
    EXPECT_EQ(gate.ip, "10.0.0.11");
    EXPECT_EQ(gate.name, "Gate-1");
    EXPECT_EQ(gate.via, "mdns");
    EXPECT_FALSE(gate.dhcp);
    EXPECT_EQ(plan.rows[1].line, 6);  // the quoted line break counts
    EXPECT_TRUE(plan.rows[1].dhcp);
    EXPECT_EQ(plan.rows[1].name, "");
    EXPECT_EQ(plan.rows[1].hwAddrText, "02:e5:a1:00:00:02");
    EXPECT_EQ(plan.rows[2].ip, "10.1");  // as the dialog takes it, passed on as typed
    EXPECT_EQ(plan.rows[2].via, "drovik");

    std::vector<CsvFault> faults;
    const std::string awkward = " a,\"b\"\nc ";
    const auto records = SplitCsv(CsvField(awkward) + "," + CsvField("#x") + "," + CsvField("plain"), faults);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{awkward, "#x", "plain"}));
    EXPECT_TRUE(faults.empty());
}

CameraRecord Record(const char* name, const char* ip, const char* subnet, const char* gateway, int dhcp) {
    CameraRecord r{};
    std::strcpy(r.name, name);
    std::strcpy(r.hwAddrText, "02:e5:a1:0a:0b:0c");
    const unsigned char hw[6] = {0x02, 0xe5, 0xa1, 0x0a, 0x0b, 0x0c};
    std::memcpy(r.hwAddr, hw, 6);
    std::strcpy(r.ipAddrText, ip);
    r.ipAddr = inet_addr(ip);
    std::strcpy(r.subnetText, subnet);
    std::strcpy(r.gatewayText, gateway);
    std::strcpy(r.productName, "ZC-100");
    r.dhcp = static_cast<unsigned char>(dhcp);
    return r;
}

// A scan's CSV is a plan that leaves every camera as it is; each setting that
// differs is seen.
TEST(ProvisionPlan, ScanCsvReadsBackAsAPlanThatChangesNothing) {
    const CameraRecord fixed = Record("Gate-1", "10.0.0.11", "255.255.255.0", "10.0.0.1", 0);
    const CameraRecord onDhcp = Record("Yard", "10.0.0.99", "255.255.255.0", "10.0.0.1", 1);
    const CameraRecord fresh = Record("", "0.0.0.0", "0.0.0.0", "0.0.0.0", 0);
    for (const CameraRecord* r : {&fixed, &onDhcp, &fresh}) {
        const Plan plan = ParsePlan(std::string(kCsvHeading) + "\n" + RecordToCsv(*r) + "\n");
        ASSERT_TRUE(plan.faults.empty()) << RecordToCsv(*r) << ": " << plan.faults.front().text;
        ASSERT_EQ(plan.rows.size(), 1u);
        EXPECT_TRUE(AtPlannedAddress(*r, plan.rows[0])) << RecordToCsv(*r);
        EXPECT_FALSE(NameDue(*r, plan.rows[0])) << RecordToCsv(*r);
    }
    EXPECT_EQ(RecordToCsv(onDhcp), "02:e5:a1:0a:0b:0c,dhcp,,,Yard,ZC-100,mdns");

    PlanRow row = ParsePlan("hwaddr,ip,subnet,gateway,name\n02:e5:a1:0a:0b:0c,10.0.0.11,255.255.255.0,10.0.0.1,gate-1")
                      .rows.at(0);
    EXPECT_TRUE(AtPlannedAddress(fixed, row));
    EXPECT_TRUE(NameDue(fixed, row));  // names compare exactly
    EXPECT_FALSE(AtPlannedAddress(onDhcp, row));  // same address, but from DHCP
    row.gateway = "10.0.0.254";
    EXPECT_FALSE(AtPlannedAddress(fixed, row));
    row.gateway = "10.0.0.1";
    row.subnet = "255.255.0.0";
    EXPECT_FALSE(AtPlannedAddress(fixed, row));
    row.dhcp = true;
    EXPECT_TRUE(AtPlannedAddress(onDhcp, row));
    EXPECT_FALSE(AtPlannedAddress(fixed, row));
}

}  // namespace
