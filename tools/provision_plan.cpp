#include "provision_plan.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "address_rules.h"
#include "camera_actions.h"
#include "csv_text.h"

namespace {

enum Column { kHw, kIp, kSubnet, kGateway, kName, kType, kVia, kColumns };
constexpr const char* kColumnNames[kColumns] = {"hwaddr", "ip", "subnet", "gateway", "name", "type", "via"};
constexpr int kRequired = kName + 1;  // type and via may be missing
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Bytes of the UTF-8 sequence at `at` when it is valid and prints (U+00A0 and
// above), else 0.
std::size_t PrintableSequence(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (size == 0 || lead > 0xF4 || at + size > text.size()) return 0;
    uint32_t code = lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    constexpr uint32_t kLeast[] = {0, 0, 0xA0, 0x800, 0x10000};
    if (code < kLeast[size] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return size;
}

// A field's text for a message, on one line and short: what does not print is
// written as \xNN.
std::string Shown(const std::string& text) {
    constexpr std::size_t kMost = 40;
    std::string out = "\"";
    std::size_t at = 0;
    for (std::size_t shown = 0; at < text.size() && shown < kMost; ++shown) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[at++];
        } else if (const std::size_t size = PrintableSequence(text, at)) {
            out.append(text, at, size);
            at += size;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
            ++at;
        }
    }
    return out + (at < text.size() ? "...\"" : "\"");
}

// A plan's UTF-8 as the 8-bit characters a camera record holds (which `scan
// --csv` writes as Latin-1); false when it is not such text.
bool ToLatin1(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += text[i];
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>((byte & 0x03) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

// `planned` names the text a camera reports in a record field of `fieldSize`.
bool SameText(const std::string& planned, const char* reported, std::size_t fieldSize) {
    std::string latin1;
    return ToLatin1(planned, latin1) && latin1 == std::string(reported, strnlen(reported, fieldSize));
}

// A camera could report this text in a record field of `fieldSize`.
bool Reportable(const std::string& text, std::size_t fieldSize) {
    std::string latin1;
    return ToLatin1(text, latin1) && latin1.size() < fieldSize;
}

bool SameAddress(const std::string& planned, const char* reported, std::size_t fieldSize) {
    uint32_t a, b;
    return SameText(planned, reported, fieldSize) ||
           (ParseDotted(planned, a) && ParseDotted(std::string(reported, strnlen(reported, fieldSize)), b) && a == b);
}

std::string Dotted(uint32_t hostOrder) {
    char text[INET_ADDRSTRLEN];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", hostOrder >> 24, hostOrder >> 16 & 0xFF, hostOrder >> 8 & 0xFF,
                  hostOrder & 0xFF);
    return text;
}

// The Assign IP dialog's rules and messages, in its order, then what a plan
// must meet besides: dotted decimal only, a prefix mask, an address that is
// neither its subnet's network nor its broadcast address, and a gateway in
// that subnet (0.0.0.0: none, as the dialog and cameras take it).
void CheckAddress(const PlanRow& row, PlanFaults& faults) {
    const std::string* texts[] = {&row.ip, &row.subnet, &row.gateway};
    const char* dialog[] = {address_rules::CheckIpAddress(row.ip.c_str()),
                            address_rules::CheckSubnet(row.subnet.c_str()),
                            address_rules::CheckGateway(row.gateway.c_str())};
    const char* what[] = {"IP address ", "subnet mask ", "gateway "};
    uint32_t value[3];
    bool dotted = true;
    for (int i = 0; i < 3; ++i) {
        if (dialog[i]) {
            faults.Add(row.line, dialog[i]);
            dotted = false;
        } else if (!ParseDotted(*texts[i], value[i])) {
            faults.Add(row.line, what[i] + Shown(*texts[i]) + " is not four numbers 0 to 255 without leading zeros");
            dotted = false;
        }
    }
    if (!dotted) return;
    const uint32_t ip = value[0], mask = value[1], gateway = value[2], host = ~mask;
    if (mask == 0 || (host & (host + 1)) != 0) {
        faults.Add(row.line, "subnet mask " + row.subnet + " is not a run of ones followed by zeros");
        return;
    }
    int prefix = 0;
    for (uint32_t m = mask; m; m <<= 1) ++prefix;
    const std::string subnet = Dotted(ip & mask) + "/" + std::to_string(prefix);
    // A /31 or /32 has no network or broadcast address to avoid.
    auto reserved = [&](uint32_t address) -> const char* {
        if (host <= 1) return nullptr;
        if ((address & host) == 0) return " is the network address of ";
        if ((address & host) == host) return " is the broadcast address of ";
        return nullptr;
    };
    if (const char* why = reserved(ip)) faults.Add(row.line, "IP address " + row.ip + why + subnet);
    if (gateway == 0) return;
    if ((gateway & mask) != (ip & mask))
        faults.Add(row.line, "gateway " + row.gateway + " is outside " + subnet);
    else if (const char* why = reserved(gateway))
        faults.Add(row.line, "gateway " + row.gateway + why + subnet);
}

void CheckName(const PlanRow& row, PlanFaults& faults) {
    if (const char* message = address_rules::CheckCameraName(row.name)) faults.Add(row.line, message);
}

// Field positions by column, from the header; -1 where a column is absent.
bool ReadHeader(const CsvRecord& header, int (&at)[kColumns], PlanFaults& faults) {
    std::fill(std::begin(at), std::end(at), -1);
    bool good = true;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string name = Lower(header.fields[i]);
        const auto* known =
            std::find_if(std::begin(kColumnNames), std::end(kColumnNames), [&](const char* c) { return name == c; });
        if (known == std::end(kColumnNames)) {
            faults.Add(header.line, "unknown column " + Shown(header.fields[i]));
            good = false;
        } else if (at[known - kColumnNames] >= 0) {
            faults.Add(header.line, "column \"" + name + "\" twice");
            good = false;
        } else {
            at[known - kColumnNames] = static_cast<int>(i);
        }
    }
    for (int c = 0; c < kRequired; ++c) {
        if (at[c] >= 0) continue;
        faults.Add(header.line, std::string("no column \"") + kColumnNames[c] + "\"");
        good = false;
    }
    return good;
}

// The row's own faults, and those of its values that no camera can report
// (the rest waits for the scan); fills `row` as far as it goes.
void ReadRow(const CsvRecord& record, const int (&at)[kColumns], PlanRow& row, PlanFaults& faults) {
    auto field = [&](Column c) { return at[c] < 0 ? std::string() : record.fields[at[c]]; };
    row.line = record.line;

    const std::string hw = field(kHw);
    if (camera_actions::ParseHwAddr(hw, row.hwAddr)) {
        row.hwAddrText = camera_actions::HwAddrText(row.hwAddr);
    } else {
        faults.Add(row.line, "bad hardware address " + Shown(hw));
    }

    row.ip = field(kIp);
    row.subnet = field(kSubnet);
    row.gateway = field(kGateway);
    row.dhcp = Lower(row.ip) == "dhcp";
    uint32_t ip;
    if (row.dhcp) {
        if (!row.subnet.empty() || !row.gateway.empty())
            faults.Add(row.line, "with dhcp, subnet and gateway stay empty");
    } else if (!ParseDotted(row.ip, ip) || !Reportable(row.subnet, sizeof CameraRecord::subnetText) ||
               !Reportable(row.gateway, sizeof CameraRecord::gatewayText)) {
        // Cameras report their address in dotted decimal: none has these settings.
        CheckAddress(row, faults);
    }

    row.name = field(kName);
    if (!Reportable(row.name, sizeof CameraRecord::name)) CheckName(row, faults);

    row.via = Lower(field(kVia));
    if (!row.via.empty() && row.via != "drovik" && row.via != "mdns")
        faults.Add(row.line, "via is drovik, mdns or empty");
}

}  // namespace

void PlanFaults::Add(int line, std::string text) {
    if (listed.size() < kListed)
        listed.push_back({line, std::move(text)});
    else
        ++more;
}

bool ParseDotted(const std::string& text, uint32_t& address) {
    address = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.')) return false;
        const std::size_t start = at;
        unsigned value = 0;
        while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + (text[at++] - '0');
        if (at == start || value > 255 || (text[start] == '0' && at - start > 1)) return false;
        address = address << 8 | value;
    }
    return at == text.size();
}

Plan ParsePlan(std::string_view text) {
    Plan plan;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    bool seenHeader = false, goodHeader = false;
    std::size_t headerFields = 0;
    int at[kColumns];
    std::map<std::string, int> hwLines;  // hardware address text -> first line
    auto onRecord = [&](CsvRecord& record) {
        for (std::string& field : record.fields)
            if (!field.empty() && field.front() == '\'') field.erase(0, 1);
        if (!seenHeader) {
            seenHeader = true;
            headerFields = record.fields.size();
            goodHeader = ReadHeader(record, at, plan.faults);
            return;
        }
        if (!goodHeader) return;
        if (record.fields.size() != headerFields) {
            plan.faults.Add(record.line, std::to_string(record.fields.size()) + " fields where the header has " +
                                             std::to_string(headerFields));
            return;
        }
        PlanRow row;
        ReadRow(record, at, row, plan.faults);
        if (!row.hwAddrText.empty()) {
            const auto [first, fresh] = hwLines.emplace(row.hwAddrText, row.line);
            if (!fresh)
                plan.faults.Add(
                    row.line, "hardware address " + row.hwAddrText + " also on line " + std::to_string(first->second));
        }
        if (plan.faults.empty()) plan.rows.push_back(std::move(row));
    };
    ReadCsv(text, onRecord, [&](const CsvFault& fault) {
        seenHeader = true;  // a broken first record is the header, and no other stands in for it
        plan.faults.Add(fault.line, fault.text);
    });
    if (!seenHeader) plan.faults.Add(1, "no header line (hwaddr,ip,subnet,gateway,name)");
    if (!plan.faults.empty()) plan.rows.clear();
    return plan;
}

PlanFaults CheckAgainstScan(const std::vector<PlanRow>& rows, const std::vector<const CameraRecord*>& cameras) {
    PlanFaults faults;
    struct Planned {
        int line;
        bool changed;
    };
    std::map<uint32_t, Planned> addresses;  // fixed address -> the first row planning it
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const PlanRow& row = rows[i];
        const CameraRecord* camera = i < cameras.size() ? cameras[i] : nullptr;
        const bool kept = camera && AtPlannedAddress(*camera, row);
        if (!row.dhcp && !kept) CheckAddress(row, faults);
        if (!camera || NameDue(*camera, row)) CheckName(row, faults);
        uint32_t address;
        if (row.dhcp || !ParseDotted(row.ip, address)) continue;
        const auto [first, fresh] = addresses.emplace(address, Planned{row.line, !kept});
        // Cameras that share an address today may keep it; a plan gives none a taken one.
        if (!fresh && (first->second.changed || !kept))
            faults.Add(row.line, "address " + row.ip + " also on line " + std::to_string(first->second.line));
    }
    return faults;
}

bool AtPlannedAddress(const CameraRecord& record, const PlanRow& row) {
    if (row.dhcp) return record.dhcp != 0;
    return record.dhcp == 0 && SameAddress(row.ip, record.ipAddrText, sizeof record.ipAddrText) &&
           SameAddress(row.subnet, record.subnetText, sizeof record.subnetText) &&
           SameAddress(row.gateway, record.gatewayText, sizeof record.gatewayText);
}

bool NameDue(const CameraRecord& record, const PlanRow& row) {
    return !row.name.empty() && !SameText(row.name, record.name, sizeof record.name);
}
