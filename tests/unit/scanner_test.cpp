// Sorting and the result texts of the scanner.
#include "scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "camera_records.h"

namespace {

// A scanner whose scans find `records`, set by the test.
class FilledScanner {
public:
    FilledScanner()
        : scanner([this](CameraRecord* table, int room) {
              int n = 0;
              for (; n < room && n < static_cast<int>(records.size()); ++n) table[n] = records[n];
              return n;
          }) {}
    void Fill(const std::vector<CameraRecord>& found) {
        records = found;
        scanner.Scan();
    }
    void Sort() { scanner.Sort(); }
    int Count() const { return scanner.Count(); }
    const CameraRecord& RecordAt(int i) const { return scanner.RecordAt(i); }
    uint8_t& sortMode = scanner.sortMode;

private:
    std::vector<CameraRecord> records;
    CScanner scanner;
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

TEST(ScannerResult, TextsOfTheSevenCodes) {
    const char* expected[] = {"Success",          "Bad Packet ID", "Incorrect Response Code", "Assignment Failure",
                              "Invalid Password", "Send Error",    "Receive Error"};
    for (int code = 0; code < 7; ++code) EXPECT_STREQ(CScanner::ResultText(code), expected[code]);
    EXPECT_STREQ(CScanner::ResultText(7), "");  // never an out-of-table read
}

}  // namespace
