// Provisioning plans: what is refused (with its line), as the file is read
// and against the cameras a scan found, what quoting allows, and that `scan
// --csv` output reads back as a plan that changes nothing.
#include "provision_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "camera_records.h"
#include "csv_text.h"
#include "record_json.h"

namespace {

using namespace std::string_literals;

std::vector<std::string> Lines(const PlanFaults& faults) {
    std::vector<std::string> out;
    for (const PlanFault& f : faults.listed) out.push_back(std::to_string(f.line) + ": " + f.text);
    if (faults.more > 0) out.push_back("and " + std::to_string(faults.more) + " more");
    return out;
}

std::vector<std::string> Faults(const std::string& text) { return Lines(ParsePlan(text).faults); }

// What no camera can report is refused as the file is read.
TEST(ProvisionPlan, EveryFaultIsNamedWithItsLine) {
    EXPECT_EQ(Faults("# site plan\n"
                     "hwaddr,ip,subnet,gateway,name\n"
                     "02:e5:a1:00:00:01,10.0.0.11,255.255.255.0,10.0.0.1,Gate-1\n"  // 3: fine
                     "02:e5:a1:00:00:1,10.0.0.12,255.255.255.0,10.0.0.1,\n"         // 4
                     "02:e5:a1:00:00:03,10.0.0.256,,10.0.0.1,Lobby\n"               // 5
                     "02:e5:a1:00:00:04,010.077.000.023,255.255.255.0,10.0.0.1,\n"  // 6: would be 8.63.0.19
                     "02-E5-A1-00-00-01,10.0.0.15,255.255.255.0,10.0.0.1,\n"        // 7
                     "02:e5:a1:00:00:06,0x0a000010,255.255.255.0,10.0.0.1,\n"       // 8
                     "\n"
                     "02:e5:a1:00:00:07,dhcp,255.255.255.0,,\n"                                        // 10
                     "02:e5:a1:00:00:08,DHCP,,,Camera-in-the-north-east-corner-of-the-yard-by-gate\n"  // 11
                     "02:e5:a1:00:00:09,10.0.0.19,255.255.255.0\n"                                     // 12
                     "02:e5:a1:00:00:0a,\"10.0.0.20\"x,255.255.255.0,10.0.0.1,\n"                      // 13
                     "02:e5:a1:00:00:0b,10.1,255.255.255.0,10.0.0.1.,\n"                               // 14
                     "02:e5:a1:00:00:0c,dhcp,,,\"\xff\xfe\n\"\n"                    // 15: no 8-bit text
                     "02:e5:a1:00:00:0d,10.0.0.21,255.255.255.0,10.0.0.1,\"Gate\n"  // 17: never closed
                     "-2\n"),
              (std::vector<std::string>{
                  "4: bad hardware address \"02:e5:a1:00:00:1\"",
                  "5: Invalid IP address. Use xxx.xxx.xxx.xxx",
                  "5: Invalid subnet mask. Use xxx.xxx.xxx.xxx",
                  "6: IP address \"010.077.000.023\" is not four numbers 0 to 255 without leading zeros",
                  "7: hardware address 02:e5:a1:00:00:01 also on line 3",
                  "8: IP address \"0x0a000010\" is not four numbers 0 to 255 without leading zeros",
                  "10: with dhcp, subnet and gateway stay empty",
                  "11: Name exceeds maximum of 16 characters",
                  "12: 3 fields where the header has 5",
                  "13: text after a closing quote",
                  "14: IP address \"10.1\" is not four numbers 0 to 255 without leading zeros",
                  "14: Invalid Gateway. Use xxx.xxx.xxx.xxx",
                  "15: Invalid name.  Use alphanumeric, '-' or '_' only",
                  "17: a quoted field is not closed",
              }));

    // A control character is a fault wherever it is: a NUL no longer cuts a field short.
    EXPECT_EQ(
        Faults("hwaddr,ip,subnet,gateway,name\r\n"
               "02:e5:a1:00:00:01,dhcp,,,Gate\0-1\r\n"s
               "02:e5:a1:00:00:02,dhcp,,,\"Ya\trd\"\r\n"
               "02:e5:a1:00:00:03,dhcp\x1b[2J,,,\r\n"
               "02:e5:a1:00:00:04,dhcp,,,\"Mast\x7f\n\"\r\n"
               "02:e5:a1:00:00:05,dhcp,,,\"Dock\r\n-1\"\r\n"),  // 7: a quoted line break is text
        (std::vector<std::string>{"2: control character 0x00 in a field", "3: control character 0x09 in a field",
                                  "4: control character 0x1b in a field", "5: control character 0x7f in a field"}));
    EXPECT_EQ(Faults("hwaddr,ip,subnet,gateway,name\n" + std::string(300, ',') + "\n02:e5:a1:00:00:01,dhcp,,,,\n"),
              (std::vector<std::string>{"2: more than 100 fields", "3: 6 fields where the header has 5"}));
    EXPECT_EQ(Faults("hwaddr,ip,subnet,\"gate\nway\",name\n"),
              (std::vector<std::string>{"1: unknown column \"gate\\x0away\"", "1: no column \"gateway\""}));

    EXPECT_EQ(Faults("hwaddr,ip,mask,gateway,name,name\n02:e5:a1:00:00:01,dhcp,,,,\n"),
              (std::vector<std::string>{"1: unknown column \"mask\"", "1: column \"name\" twice",
                                        "1: no column \"subnet\""}));
    EXPECT_EQ(Faults("# nothing but notes\n\n"),
              (std::vector<std::string>{"1: no header line (hwaddr,ip,subnet,gateway,name)"}));
    EXPECT_EQ(Faults("hwaddr,ip,subnet,gateway,name,via\n02:e5:a1:00:00:01,dhcp,,,,udp\n"
                     "02:e5:a1:00:00:02,10.0.0.1,255.0.0.0,10.0.0.1,a\"b\n"),
              (std::vector<std::string>{"2: via is drovik, mdns or empty", "3: a quote inside an unquoted field"}));
    // A broken header line stands for the header: no later line is taken for it.
    EXPECT_EQ(Faults("\"hwaddr,ip,subnet,gateway,name\n02:e5:a1:00:00:01,dhcp,,,\n"),
              (std::vector<std::string>{"1: a quoted field is not closed"}));
}

// A plan of bad rows lists its first faults and counts the rest.
TEST(ProvisionPlan, FaultsBeyondTheFirstHundredAreCounted) {
    std::string text = "hwaddr,ip,subnet,gateway,name\n";
    for (int i = 0; i < 250; ++i) text += "nothing,dhcp,,,\n";
    text += "\"";
    const Plan plan = ParsePlan(text);
    ASSERT_EQ(plan.faults.listed.size(), 100u);
    EXPECT_EQ(plan.faults.listed.front().line, 2);
    EXPECT_EQ(plan.faults.listed.back().line, 101);
    EXPECT_EQ(plan.faults.listed.back().text, "bad hardware address \"nothing\"");
    EXPECT_EQ(plan.faults.more, 151u);  // the unclosed quote on line 252 too
    EXPECT_TRUE(plan.rows.empty());
}

TEST(ProvisionPlan, QuotingNotesColumnOrderAndLineEndings) {
    // As a spreadsheet saves "CSV UTF-8": a byte-order mark first; and a "'"
    // before a cell it would take for a formula.
    const Plan plan = ParsePlan(
        "\xEF\xBB\xBF  # exported from the site plan\r\n"
        "name,\"hwaddr\",ip,'subnet,gateway,type,via\r\n"
        "\"Gate-1\",02-E5-A1-00-00-01, 10.0.0.11 ,255.255.255.0,10.0.0.1,\"ZC-100, \"\"outdoor\"\"\r\nmast\",mdns\r\n"
        "\r\n"
        "\"\",02e5a1000002,dhcp,,,,\r\n"
        "Lobby,02:e5:a1:00:00:03,10.0.0.13,255.0.0.0,10.0.0.1,,DROVIK\r\n"
        "''Dock,'02:e5:a1:00:00:04,dhcp,,,'=cmd|' /C calc'!A0,\"'mdns\"");
    ASSERT_EQ(Lines(plan.faults), std::vector<std::string>{});
    ASSERT_EQ(plan.rows.size(), 4u);
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
    EXPECT_EQ(plan.rows[2].ip, "10.0.0.13");
    EXPECT_EQ(plan.rows[2].via, "drovik");
    EXPECT_EQ(plan.rows[3].name, "'Dock");  // one "'" dropped, no more
    EXPECT_EQ(plan.rows[3].hwAddrText, "02:e5:a1:00:00:04");
    EXPECT_EQ(plan.rows[3].via, "mdns");

    std::vector<CsvFault> faults;
    const std::string awkward = " a,\"b\"\nc ";
    const auto records = SplitCsv(CsvField(awkward) + "," + CsvField("#x") + "," + CsvField("plain"), faults);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{awkward, "#x", "plain"}));
    EXPECT_TRUE(faults.empty());
}

// A camera of the maker's whose hardware address ends in `last`.
CameraRecord Record(const char* name, const char* ip, const char* subnet, const char* gateway, int dhcp,
                    unsigned char last = 0x0c) {
    char hw[18];
    std::snprintf(hw, sizeof hw, "02:e5:a1:0a:0b:%02x", last);
    return MakeRecord(
        {.name = name, .type = "ZC-100", .hw = hw, .ip = ip, .subnet = subnet, .gateway = gateway, .dhcp = dhcp});
}

// A scan's CSV is a plan that leaves every camera as it is, whatever the
// cameras hold; each setting that differs is seen.
TEST(ProvisionPlan, ScanCsvReadsBackAsAPlanThatChangesNothing) {
    const CameraRecord fixed = Record("Gate-1", "10.0.0.11", "255.255.255.0", "10.0.0.1", 0);
    const CameraRecord onDhcp = Record("Yard", "10.0.0.99", "255.255.255.0", "10.0.0.1", 1, 0x0d);
    const CameraRecord odd[] = {
        Record("", "0.0.0.0", "0.0.0.0", "0.0.0.0", 0, 1),  // fresh from the factory
        Record("Lobby Cam", "10.0.0.12", "", "", 0, 2),     // multicast DNS: empty TXT values
        Record("Caf\xe9 #2, \"east\"", "10.0.0.255", "255.255.255.0", "10.0.0.1", 0, 3),
        Record("Twin-1", "192.168.0.90", "255.255.255.0", "192.168.1.1", 0, 4),  // two at the maker's default
        Record("Twin-2", "192.168.0.90", "255.255.255.0", "192.168.1.1", 0, 5),
        Record("Mask", "10.0.0.13", "255.0.255.000", "none", 0, 6),
        Record("=1+2", "10.0.0.14", "255.255.255.0", "10.0.0.1", 0, 7),  // written "'=1+2"
        Record("'Quote", "10.0.0.15", "-", "@", 0, 8),
    };
    std::string csv = std::string(kCsvHeading) + "\n";
    std::vector<const CameraRecord*> cameras;
    for (const CameraRecord* r : {&fixed, &onDhcp}) cameras.push_back(r);
    for (const CameraRecord& r : odd) cameras.push_back(&r);
    for (const CameraRecord* r : cameras) csv += RecordToCsv(*r) + "\n";
    const Plan plan = ParsePlan(csv);
    ASSERT_EQ(Lines(plan.faults), std::vector<std::string>{}) << csv;
    ASSERT_EQ(plan.rows.size(), cameras.size());
    EXPECT_EQ(Lines(CheckAgainstScan(plan.rows, cameras)), std::vector<std::string>{}) << csv;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        EXPECT_TRUE(AtPlannedAddress(*cameras[i], plan.rows[i])) << RecordToCsv(*cameras[i]);
        EXPECT_FALSE(NameDue(*cameras[i], plan.rows[i])) << RecordToCsv(*cameras[i]);
    }
    EXPECT_EQ(RecordToCsv(onDhcp), "02:e5:a1:0a:0b:0d,dhcp,,,Yard,ZC-100,mdns");

    PlanRow row = ParsePlan("hwaddr,ip,subnet,gateway,name\n02:e5:a1:0a:0b:0c,10.0.0.11,255.255.255.0,10.0.0.1,gate-1")
                      .rows.at(0);
    EXPECT_TRUE(AtPlannedAddress(fixed, row));
    EXPECT_TRUE(NameDue(fixed, row));             // names compare exactly
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

// Once the scan has found the cameras, whatever a row would send is judged by
// the dialog's rules and the plan's own; a camera's own settings are not.
TEST(ProvisionPlan, WhatWouldBeSentIsJudgedAgainstTheScan) {
    std::vector<CameraRecord> found;
    for (unsigned char i = 1; i <= 13; ++i)
        found.push_back(Record("Cam", "10.0.0.99", "255.255.255.0", "10.0.0.1", 0, i));
    found[0] = Record("Lobby Cam", "10.0.0.11", "", "", 0, 1);
    found[7] = Record("Odd", "10.0.0.40", "", "10.0.0.1", 0, 8);
    found[11] = Record("Twin", "192.168.0.90", "255.255.255.0", "192.168.0.1", 0, 12);
    found[12] = Record("Twin", "192.168.0.90", "255.255.255.0", "192.168.0.1", 0, 13);
    const Plan plan = ParsePlan(
        "hwaddr,ip,subnet,gateway,name\n"
        "02:e5:a1:0a:0b:01,10.0.0.11,,,Lobby Cam\n"                      // 2: as it is
        "02:e5:a1:0a:0b:02,10.0.0.0,255.255.255.0,10.0.0.1,\n"           // 3
        "02:e5:a1:0a:0b:03,10.0.0.255,255.255.255.0,10.0.0.1,\n"         // 4
        "02:e5:a1:0a:0b:04,10.0.0.14,255.0.255.0,10.0.0.1,\n"            // 5
        "02:e5:a1:0a:0b:05,10.0.0.15,255.255.255.0,10.0.1.1,\n"          // 6
        "02:e5:a1:0a:0b:06,10.0.0.99,255.255.255.0,0.0.0.0,Lobby Cam\n"  // 7: no gateway
        "02:e5:a1:0a:0b:07,10.0.0.17,255.255.255.0,,Yard 1\n"            // 8: not found
        "02:e5:a1:0a:0b:08,10.0.0.18,,10.0.0.1,\n"                       // 9: its own mask goes too
        "02:e5:a1:0a:0b:09,10.0.0.11,255.255.255.0,10.0.0.1,\n"          // 10: taken on line 2
        "02:e5:a1:0a:0b:0a,10.0.0.20,0.0.0.0,0.0.0.0,\n"                 // 11
        "02:e5:a1:0a:0b:0b,10.0.0.21,255.255.255.0,10.0.0.255,\n"        // 12
        "02:e5:a1:0a:0b:0c,192.168.0.90,255.255.255.0,192.168.0.1,\n"    // 13, 14: shared today
        "02:e5:a1:0a:0b:0d,192.168.0.90,255.255.255.0,192.168.0.1,\n"
        "02:e5:a1:0a:0b:0e,10.0.0.22,255.255.255.254,0.0.0.0,Dock\n"  // 15: a /31 has no broadcast
        "02:e5:a1:0a:0b:0f,dhcp,,,Dock-2\n");
    ASSERT_EQ(Lines(plan.faults), std::vector<std::string>{});
    std::vector<const CameraRecord*> cameras;
    for (const CameraRecord& r : found) cameras.push_back(&r);
    cameras[6] = nullptr;
    cameras.push_back(&found[1]);  // rows 15 and 16: found as any camera, judged as sent
    cameras.push_back(&found[2]);
    EXPECT_EQ(Lines(CheckAgainstScan(plan.rows, cameras)),
              (std::vector<std::string>{
                  "3: IP address 10.0.0.0 is the network address of 10.0.0.0/24",
                  "4: IP address 10.0.0.255 is the broadcast address of 10.0.0.0/24",
                  "5: subnet mask 255.0.255.0 is not a run of ones followed by zeros",
                  "6: gateway 10.0.1.1 is outside 10.0.0.0/24",
                  "7: Invalid name.  Use alphanumeric, '-' or '_' only",
                  "8: Invalid Gateway. Use xxx.xxx.xxx.xxx",
                  "8: Invalid name.  Use alphanumeric, '-' or '_' only",
                  "9: Invalid subnet mask. Use xxx.xxx.xxx.xxx",
                  "10: address 10.0.0.11 also on line 2",
                  "11: subnet mask 0.0.0.0 is not a run of ones followed by zeros",
                  "12: gateway 10.0.0.255 is the broadcast address of 10.0.0.0/24",
              }));
    // The same values on the camera itself send nothing and are not judged.
    found[2] = Record("Cam", "10.0.0.255", "255.255.255.0", "10.0.0.1", 0, 3);
    found[4] = Record("Cam", "10.0.0.15", "255.255.255.0", "10.0.1.1", 0, 5);
    found[5].dhcp = 0;
    std::strcpy(found[5].name, "Lobby Cam");
    const std::vector<std::string> left = Lines(CheckAgainstScan(plan.rows, cameras));
    for (const char* gone : {"4: ", "6: ", "7: "})
        EXPECT_TRUE(std::none_of(left.begin(), left.end(), [&](const std::string& f) { return f.rfind(gone, 0) == 0; }))
            << gone;
}

}  // namespace
