#include "record_json.h"

#include <arpa/inet.h>

#include <cstdio>
#include <string_view>

#include "csv_text.h"
#include "visible_text.h"

namespace {

std::string Dotted(uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN] = "";
    in_addr addr{networkOrder};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

// Record texts are 8-bit characters; JSON wants UTF-8, so bytes above 0x7f
// are taken as Latin-1.
std::string Text(const char* field) { return platform::Latin1ToUtf8(field); }

// What a person reads: the text with its controls written out.
std::string Shown(const char* field) { return platform::VisibleText(Text(field)); }

// A spreadsheet takes a cell that starts so for a formula: the leading '
// makes it text (and the plan reader drops it again). A text that starts
// with ' gets one more, so that the round trip keeps it.
std::string Cell(const std::string& text) {
    const bool inert = text.empty() || std::string_view("=+-@\t\r'").find(text.front()) == std::string_view::npos;
    return CsvField(inert ? text : "'" + text);
}

}  // namespace

nlohmann::json RecordToJson(const CameraRecord& r) {
    char hw[13];
    std::snprintf(hw, sizeof hw, "%02x%02x%02x%02x%02x%02x", r.hwAddr[0], r.hwAddr[1], r.hwAddr[2], r.hwAddr[3],
                  r.hwAddr[4], r.hwAddr[5]);
    return {
        {"name", Text(r.name)},
        {"hwAddrText", Text(r.hwAddrText)},
        {"hwAddr", hw},
        {"ipAddrText", Text(r.ipAddrText)},
        {"subnetText", Text(r.subnetText)},
        {"gatewayText", Text(r.gatewayText)},
        {"productName", Text(r.productName)},
        {"productCode", r.productCode},
        {"dhcp", r.dhcp},
        {"ipAddr", Dotted(r.ipAddr)},
        {"foundByDrovik", r.foundByDrovik},
        {"httpPort", r.httpPort},
        {"httpPortText", Text(r.httpPortText)},
        {"webAddr", Text(r.webAddr)},
        {"ifaceAddr", Dotted(r.ifaceAddr.sin_addr.s_addr)},
        {"conflict", r.conflict != 0},
    };
}

std::string RecordToRow(const CameraRecord& r) {
    return Shown(r.name) + "\t" + Shown(r.productName) + "\t" + Shown(r.hwAddrText) + "\t" + Shown(r.ipAddrText);
}

std::string RecordToCsv(const CameraRecord& r) {
    const bool dhcp = r.dhcp != 0;
    return Cell(Text(r.hwAddrText)) + "," + (dhcp ? "dhcp" : Cell(Text(r.ipAddrText))) + "," +
           (dhcp ? "" : Cell(Text(r.subnetText))) + "," + (dhcp ? "" : Cell(Text(r.gatewayText))) + "," +
           Cell(Text(r.name)) + "," + Cell(Text(r.productName)) + "," + (r.foundByDrovik ? "drovik" : "mdns");
}
