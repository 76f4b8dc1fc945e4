#include "provision_plan.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "config/address_rules.h"
#include "csv_text.h"

namespace {

enum Column { kHw, kIp, kSubnet, kGateway, kName, kType, kVia, kColumns };
constexpr const char* kColumnNames[kColumns] = {"hwaddr", "ip", "subnet", "gateway", "name", "type", "via"};
constexpr int kRequired = kName + 1;  // type and via may be missing

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Field positions by column, from the header; -1 where a column is absent.
bool ReadHeader(const CsvRecord& header, int (&at)[kColumns], std::vector<PlanFault>& faults) {
    std::fill(std::begin(at), std::end(at), -1);
    const std::size_t before = faults.size();
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string name = Lower(header.fields[i]);
        const auto* known = std::find_if(std::begin(kColumnNames), std::end(kColumnNames),
                                         [&](const char* c) { return name == c; });
        if (known == std::end(kColumnNames)) {
            faults.push_back({header.line, "unknown column \"" + header.fields[i] + "\""});
        } else if (at[known - kColumnNames] >= 0) {
            faults.push_back({header.line, "column \"" + name + "\" twice"});
        } else {
            at[known - kColumnNames] = static_cast<int>(i);
        }
    }
    for (int c = 0; c < kRequired; ++c)
        if (at[c] < 0) faults.push_back({header.line, std::string("no column \"") + kColumnNames[c] + "\""});
    return faults.size() == before;
}

// The row's own faults; fills `row` as far as it goes.
void ReadRow(const CsvRecord& record, const int (&at)[kColumns], PlanRow& row, std::vector<PlanFault>& faults) {
    auto field = [&](Column c) { return at[c] < 0 ? std::string() : record.fields[at[c]]; };
    auto fault = [&](const std::string& text) { faults.push_back({record.line, text}); };
    row.line = record.line;

    const std::string hw = field(kHw);
    if (ParseHwAddr(hw, row.hwAddr)) {
        char text[18];
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", row.hwAddr[0], row.hwAddr[1],
                      row.hwAddr[2], row.hwAddr[3], row.hwAddr[4], row.hwAddr[5]);
        row.hwAddrText = text;
    } else {
        fault("bad hardware address \"" + hw + "\"");
    }

    row.ip = field(kIp);
    row.subnet = field(kSubnet);
    row.gateway = field(kGateway);
    row.dhcp = Lower(row.ip) == "dhcp";
    if (row.dhcp) {
        if (!row.subnet.empty() || !row.gateway.empty()) fault("with dhcp, subnet and gateway stay empty");
    } else {
        // The Assign IP dialog's checks and messages, in its order.
        for (const char* message : {address_rules::CheckIpAddress(row.ip.c_str()),
                                    address_rules::CheckSubnet(row.subnet.c_str()),
                                    address_rules::CheckGateway(row.gateway.c_str())})
            if (message) fault(message);
    }

    row.name = field(kName);
    if (const char* message = address_rules::CheckCameraName(row.name)) fault(message);

    row.via = Lower(field(kVia));
    if (!row.via.empty() && row.via != "drovik" && row.via != "mdns") fault("via is drovik, mdns or empty");
}

}  // namespace

bool ParseHwAddr(const std::string& text, uint8_t hwAddr[6]) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool separator = (c == ':' || c == '-') && i % 3 == 2 && text.size() == 17;
        if (separator) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.size() != 12 || (text.size() != 12 && text.size() != 17)) return false;
    for (int i = 0; i < 6; ++i) hwAddr[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    return true;
}

Plan ParsePlan(std::string_view text) {
    Plan plan;
    std::vector<CsvFault> csvFaults;
    const std::vector<CsvRecord> records = SplitCsv(text, csvFaults);
    for (const CsvFault& f : csvFaults) plan.faults.push_back({f.line, f.text});
    if (records.empty()) {
        plan.faults.push_back({1, "no header line (hwaddr,ip,subnet,gateway,name)"});
        return plan;
    }
    int at[kColumns];
    if (!ReadHeader(records.front(), at, plan.faults)) return plan;

    std::map<std::string, int> hwLines;      // hardware address text -> first line
    std::map<uint32_t, int> addressLines;    // fixed address -> first line
    for (std::size_t i = 1; i < records.size(); ++i) {
        const CsvRecord& record = records[i];
        if (record.fields.size() != records.front().fields.size()) {
            plan.faults.push_back({record.line, std::to_string(record.fields.size()) + " fields where the header has " +
                                                    std::to_string(records.front().fields.size())});
            continue;
        }
        PlanRow row;
        ReadRow(record, at, row, plan.faults);
        if (!row.hwAddrText.empty()) {
            const auto [first, fresh] = hwLines.emplace(row.hwAddrText, row.line);
            if (!fresh)
                plan.faults.push_back(
                    {row.line, "hardware address " + row.hwAddrText + " also on line " + std::to_string(first->second)});
        }
        uint32_t address;
        if (!row.dhcp && address_rules::Parse(row.ip.c_str(), address)) {
            const auto [first, fresh] = addressLines.emplace(address, row.line);
            if (!fresh)
                plan.faults.push_back({row.line, "address " + row.ip + " also on line " + std::to_string(first->second)});
        }
        plan.rows.push_back(std::move(row));
    }
    std::stable_sort(plan.faults.begin(), plan.faults.end(),
                     [](const PlanFault& a, const PlanFault& b) { return a.line < b.line; });
    return plan;
}

bool AtPlannedAddress(const CameraRecord& record, const PlanRow& row) {
    if (row.dhcp) return record.dhcp != 0;
    uint32_t ip, subnet, gateway, haveSubnet, haveGateway;
    return record.dhcp == 0 && address_rules::Parse(row.ip.c_str(), ip) && ip == record.ipAddr &&
           address_rules::Parse(row.subnet.c_str(), subnet) && address_rules::Parse(record.subnetText, haveSubnet) &&
           subnet == haveSubnet && address_rules::Parse(row.gateway.c_str(), gateway) &&
           address_rules::Parse(record.gatewayText, haveGateway) && gateway == haveGateway;
}

bool NameDue(const CameraRecord& record, const PlanRow& row) {
    return !row.name.empty() && row.name != record.name;
}
