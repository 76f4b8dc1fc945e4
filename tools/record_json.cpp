#include "record_json.h"

#include <arpa/inet.h>

#include <cstdio>

#include "csv_text.h"

namespace {

std::string Dotted(uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN] = "";
    in_addr addr{networkOrder};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

// Record texts are 8-bit characters; JSON wants UTF-8, so bytes above 0x7f
// are taken as Latin-1.
std::string Text(const char* field) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(field); *p; ++p) {
        if (*p < 0x80) {
            out += static_cast<char>(*p);
        } else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return out;
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
    };
}

std::string RecordToRow(const CameraRecord& r) {
    return Text(r.name) + "\t" + Text(r.productName) + "\t" + Text(r.hwAddrText) + "\t" + Text(r.ipAddrText);
}

std::string RecordToCsv(const CameraRecord& r) {
    const bool dhcp = r.dhcp != 0;
    return CsvField(Text(r.hwAddrText)) + "," + (dhcp ? "dhcp" : CsvField(Text(r.ipAddrText))) + "," +
           (dhcp ? "" : CsvField(Text(r.subnetText))) + "," + (dhcp ? "" : CsvField(Text(r.gatewayText))) + "," +
           CsvField(Text(r.name)) + "," + CsvField(Text(r.productName)) + "," + (r.foundByDrovik ? "drovik" : "mdns");
}
