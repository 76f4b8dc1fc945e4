// Sorting and the result texts of the scanner, and the rules of acting on its cameras.
#include "scanner.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "camera_actions.h"
#include "camera_records.h"

namespace {

// A scanner whose scans find `records`, set by the test.
class FilledScanner {
public:
    FilledScanner()
        : scanner_([this](CameraRecord* table, int room) {
              int n = 0;
              for (; n < room && n < static_cast<int>(records.size()); ++n) table[n] = records[n];
              return n;
          }) {}
    void Fill(const std::vector<CameraRecord>& found) {
        records = found;
        scanner_.Scan();
    }
    void Sort() { scanner_.Sort(); }
    int Count() const { return scanner_.Count(); }
    const CameraRecord& RecordAt(int i) const { return scanner_.RecordAt(i); }
    uint8_t& sortMode = scanner_.sortMode;
    const CScanner& scanner() const { return scanner_; }

private:
    std::vector<CameraRecord> records;
    CScanner scanner_;
};

std::vector<std::string> Names(const FilledScanner& s) {
    std::vector<std::string> names;
    for (int i = 0; i < s.Count(); ++i) names.emplace_back(s.RecordAt(i).name);
    return names;
}

TEST(ScannerSort, IpOrderIsNumeric) {
    FilledScanner s;
    s.Fill({MakeCamera("a", "", "", "10.0.0.10"), MakeCamera("b", "", "", "10.0.0.9"),
            MakeCamera("c", "", "", "10.0.0.0"), MakeCamera("d", "", "", "9.255.255.255"),
            MakeCamera("e", "", "", "0.0.0.0")});
    EXPECT_EQ(s.sortMode, 3);
    s.Sort();
    EXPECT_EQ(Names(s), (std::vector<std::string>{"e", "d", "c", "b", "a"}));
}

TEST(ScannerSort, TextOrderIsBytewiseWithoutCaseOrLocale) {
    FilledScanner s;
    s.Fill({MakeCamera("abc", "Z", "02:e5:a1:00:00:0a", "1.1.1.1"),
            MakeCamera("Cam1", "a", "02:e5:a1:00:00:09", "1.1.1.2"),
            MakeCamera("Cam", "\xe9t\xe9", "02:E5:A1:00:00:0b", "1.1.1.3"),
            MakeCamera("Zed", "", "02:e5:a1:00:00:0A", "1.1.1.4")});
    s.sortMode = 0;
    s.Sort();
    EXPECT_EQ(Names(s), (std::vector<std::string>{"Cam", "Cam1", "Zed", "abc"}));
    s.sortMode = 1;  // empty first, byte 0xe9 after every ASCII letter
    s.Sort();
    EXPECT_EQ(Names(s), (std::vector<std::string>{"Zed", "abc", "Cam1", "Cam"}));
    s.sortMode = 2;  // digits, then capital letters, then small ones
    s.Sort();
    EXPECT_EQ(Names(s), (std::vector<std::string>{"Cam", "Cam1", "Zed", "abc"}));
}

TEST(ScannerSort, EmptyAndSingleTablesAndTheRestUntouched) {
    FilledScanner s;
    s.Fill({MakeCamera("z", "", "", "10.0.0.2"), MakeCamera("a", "", "", "10.0.0.1")});
    s.Fill({MakeCamera("z", "", "", "10.0.0.2")});  // count 1, entry 1 still holds "a"
    s.Sort();
    EXPECT_EQ(Names(s), (std::vector<std::string>{"z"}));
    s.Fill({});
    s.Sort();
    EXPECT_EQ(s.Count(), 0);
}

TEST(ScannerScan, ReplacementDiscoveryIsBoundedAndRunsOnAWorker) {
    std::thread::id worker;
    CScanner scanner([&](CameraRecord*, int room) {
        worker = std::this_thread::get_id();
        return room + 7;  // more than there is room for
    });
    scanner.Scan();
    EXPECT_EQ(scanner.Count(), CScanner::kCapacity);
    EXPECT_NE(worker, std::this_thread::get_id());

    bool ranByRunner = false;
    scanner.Scan([&](const std::function<void()>& work) {
        ranByRunner = true;
        std::thread t(work);
        t.join();
    });
    EXPECT_TRUE(ranByRunner);
}

// A site far past the old 500: every camera is kept and sorted; past the
// limit the discovery's count of those left out reaches the note.
TEST(ScannerScan, LargeSiteKeptWholeAndTheRestCounted) {
    FilledScanner s;
    std::vector<CameraRecord> site;
    for (int i = 0; i < 1200; ++i) {
        const std::string ip = "10.1." + std::to_string((1199 - i) / 250) + "." + std::to_string((1199 - i) % 250);
        site.push_back(MakeCamera(std::to_string(i).c_str(), "", "", ip.c_str()));
    }
    s.Fill(site);
    ASSERT_EQ(s.Count(), 1200);
    s.Sort();
    for (int i = 0; i < 1200; ++i) ASSERT_EQ(std::string(s.RecordAt(i).name), std::to_string(1199 - i));
    EXPECT_TRUE(ScanNotes(s.scanner().Outcome()).empty());

    CScanner full([](CameraRecord* table, int room, ScanOutcome& outcome) {
        for (int i = 0; i < room; ++i) table[i] = MakeCamera("c", "", "", "10.2.0.1");
        outcome.notListed = 37;
        return room;
    });
    full.Scan();
    EXPECT_EQ(full.Count(), kCameraLimit);
    EXPECT_EQ(ScanNotes(full.Outcome()),
              std::vector<std::string>{"5000 cameras listed; 37 more answered and are not listed"});
}

TEST(ScannerResult, TextsOfTheSevenCodes) {
    const char* expected[] = {
        "Success",    "Bad Packet ID", "Incorrect Response Code", "Assignment Failure", "Invalid Password",
        "Send Error", "Receive Error"};
    for (int code = 0; code < 7; ++code) EXPECT_STREQ(CScanner::ResultText(code), expected[code]);
    EXPECT_STREQ(CScanner::ResultText(7), "");  // never an out-of-table read
}

}  // namespace

namespace {

CameraRecord Heard(const char* hw, const char* ip, bool broadcast, const char* name = "") {
    return MakeRecord({.name = name, .hw = hw, .ip = ip, .drovik = broadcast});
}

}  // namespace

// Which record is "this camera" for the window, assign and provision alike,
// and what an assignment may send it.
TEST(CameraActions, TheCameraIsItsBroadcastRecordUnlessAProtocolIsNamed) {
    using camera_actions::Via;
    FilledScanner s;
    s.Fill({Heard("02:e5:a1:00:00:01", "169.254.3.4", false, "mdns"), Heard("02:e5:a1:00:00:02", "10.0.0.2", false),
            Heard("02:E5:A1:00:00:01", "10.0.0.1", true, "broadcast"), Heard("02:e5:a1:00:00:01", "10.0.0.9", false)});
    uint8_t hw[6];
    ASSERT_TRUE(camera_actions::ParseHwAddr("02-e5-A1-00-00-01", hw));
    EXPECT_STREQ(s.RecordAt(camera_actions::FindCamera(s.scanner(), hw)).name, "broadcast");
    EXPECT_STREQ(s.RecordAt(camera_actions::FindCamera(s.scanner(), hw, Via::Mdns)).name, "mdns");
    ASSERT_TRUE(camera_actions::ParseHwAddr("02e5a1000002", hw));
    EXPECT_EQ(camera_actions::FindCamera(s.scanner(), hw, Via::Drovik), -1);
    EXPECT_EQ(camera_actions::FindCamera(s.scanner(), hw), 1);
    for (const char* bad :
         {"02:e5:a1:00:00:1", "02:e5:a1:00:00:0g", "02:e5:a1:00:00-01x", "02e5a100000", "02;e5:a1:00:00:01"})
        EXPECT_FALSE(camera_actions::ParseHwAddr(bad, hw)) << bad;

    // Two devices answering the broadcast as one hardware address: refused before anything is sent.
    CameraRecord twice = Heard("02:e5:a1:00:00:03", "10.0.0.3", true);
    twice.conflict = 1;
    EXPECT_EQ(camera_actions::AssignRefusal(twice), kAssignConflictRefused);
    twice.foundByDrovik = 0;  // an HTTP assignment goes to the address instead
    EXPECT_EQ(camera_actions::AssignRefusal(twice), kAssignSuccess);

    // With DHCP the camera's own texts go along and nothing is probed.
    CameraRecord own = Heard("02:e5:a1:00:00:04", "10.0.0.4", true);
    std::strcpy(own.subnetText, "255.0.0.0");
    std::strcpy(own.gatewayText, "10.0.0.254");
    const camera_actions::AddressTexts sent = camera_actions::AssignmentTexts(own, true, {"1.2.3.4", "x", "y"});
    EXPECT_EQ(sent.ip + " " + sent.subnet + " " + sent.gateway, "10.0.0.4 255.0.0.0 10.0.0.254");
    EXPECT_EQ(camera_actions::AssignmentTexts(own, false, {"1.2.3.4", "x", "y"}).subnet, "x");
    EXPECT_FALSE(camera_actions::ProbeDue(own, true, "10.0.0.5"));
    EXPECT_FALSE(camera_actions::ProbeDue(own, false, "10.0.0.4"));
    EXPECT_TRUE(camera_actions::ProbeDue(own, false, "10.0.0.5"));
    EXPECT_EQ(camera_actions::AddressFaults("10.0.0.5", "255.0.0.0", "10.0.0.254"), "");

    // The web page's address is made from numbers, whatever the camera sent.
    own.httpPort = 8080;
    EXPECT_EQ(camera_actions::WebPageUrl(own), "http://10.0.0.4:8080");
    own.httpPort = 70000;
    EXPECT_EQ(camera_actions::WebPageUrl(own), "http://10.0.0.4");
    std::strcpy(own.ipAddrText, "10.0.0.4@evil.example");
    EXPECT_EQ(camera_actions::WebPageUrl(own), "");
    EXPECT_FALSE(camera_actions::RouteBeforeWebPage(own));  // a broadcast record needs no route
}

// Where a camera may be written to before it moves: only at the address it
// answered from, inside a subnet of the PC (loopback's 127/8 stands in for a
// LAN here), not one of the PC's own, and claimed by no other device.
TEST(CameraActions, ReachableWhereItIsOnlyAtItsOwnUnclaimedOnLinkAddress) {
    auto from = [](const char* hw, const char* ip, const char* sender) {
        CameraRecord r = Heard(hw, ip, true);
        inet_pton(AF_INET, sender, &r.answeredFrom);
        return r;
    };
    FilledScanner s;
    s.Fill({from("02:e5:a1:00:00:01", "127.0.0.5", "127.0.0.5"), from("02:e5:a1:00:00:02", "127.0.0.6", "127.0.0.7"),
            from("02:e5:a1:00:00:03", "203.0.113.5", "203.0.113.5"), from("02:e5:a1:00:00:04", "0.0.0.0", "0.0.0.0"),
            from("02:e5:a1:00:00:05", "127.0.0.1", "127.0.0.1"), from("02:e5:a1:00:00:06", "127.0.0.8", "127.0.0.8"),
            from("02:e5:a1:00:00:07", "127.0.0.8", "127.0.0.9"),
            from("02:e5:a1:00:00:08", "127.255.255.255", "127.255.255.255"),
            from("02:e5:a1:00:00:01", "127.0.0.5", "127.0.0.5")});
    std::vector<bool> reachable;
    for (int i = 0; i < s.Count(); ++i)
        reachable.push_back(camera_actions::ReachableWhereItIs(s.scanner(), s.RecordAt(i)));
    // On link; names another address than it answered from; off every link; no
    // address; the PC's own; an address another device claims (twice); the
    // subnet's broadcast; the first camera's second record.
    EXPECT_EQ(reachable, std::vector<bool>({true, false, false, false, false, false, false, false, true}));
}
