// Fuzz target of the provisioning plan reader: one input is a plan file.
// Whatever it holds, the faults stay listed in line order within their bound,
// and a plan that is taken gives rows that can be sent as they are: and were
// every camera already at its row's settings, nothing of it is refused.
#include <arpa/inet.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_target.h"
#include "camera_actions.h"
#include "provision_plan.h"

namespace {

// A row's text into a record field, as a camera would report it (8-bit characters).
bool Latin1Field(const std::string& text, char* field, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += text[i];
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < text.size()) {
            out += static_cast<char>((byte & 0x03) << 6 | (static_cast<unsigned char>(text[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    if (out.size() >= size) return false;
    std::memcpy(field, out.c_str(), out.size() + 1);
    return true;
}

bool NoControls(const std::string& text) {
    for (const char c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\r') || c == 0x7F) return false;
    return true;
}

}  // namespace

int PlanTarget(const uint8_t* data, std::size_t size) {
    const Plan plan = ParsePlan(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(plan.faults.listed.size() <= PlanFaults::kListed);
    FUZZ_CHECK(plan.faults.more == 0 || plan.faults.listed.size() == PlanFaults::kListed);
    int line = 1;
    for (const PlanFault& fault : plan.faults.listed) {
        FUZZ_CHECK(fault.line >= line && !fault.text.empty() && fault.text.find('\n') == std::string::npos);
        line = fault.line;
    }
    if (!plan.faults.empty()) {
        FUZZ_CHECK(plan.rows.empty());
        return 0;
    }

    std::set<std::string> hwSeen;
    std::vector<CameraRecord> self(plan.rows.size());
    line = 1;
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const PlanRow& row = plan.rows[i];
        FUZZ_CHECK(row.line > line);
        line = row.line;
        uint8_t hw[6];
        FUZZ_CHECK(row.hwAddrText.size() == 17 && camera_actions::ParseHwAddr(row.hwAddrText, hw) &&
                   std::memcmp(hw, row.hwAddr, 6) == 0);
        FUZZ_CHECK(hwSeen.insert(row.hwAddrText).second);
        FUZZ_CHECK(row.via.empty() || row.via == "drovik" || row.via == "mdns");
        FUZZ_CHECK(NoControls(row.ip) && NoControls(row.subnet) && NoControls(row.gateway) && NoControls(row.name));
        uint32_t address;
        FUZZ_CHECK(row.dhcp ? row.subnet.empty() && row.gateway.empty() : ParseDotted(row.ip, address));

        // The camera this row would leave as it is.
        CameraRecord& r = self[i];
        std::memcpy(r.hwAddr, row.hwAddr, 6);
        r.dhcp = row.dhcp ? 1 : 0;
        if (!row.dhcp) {
            FUZZ_CHECK(Latin1Field(row.ip, r.ipAddrText, sizeof r.ipAddrText));
            r.ipAddr = inet_addr(r.ipAddrText);
            FUZZ_CHECK(Latin1Field(row.subnet, r.subnetText, sizeof r.subnetText));
            FUZZ_CHECK(Latin1Field(row.gateway, r.gatewayText, sizeof r.gatewayText));
        }
        FUZZ_CHECK(Latin1Field(row.name, r.name, sizeof r.name));
        FUZZ_CHECK(AtPlannedAddress(r, row) && !NameDue(r, row));
    }
    std::vector<const CameraRecord*> cameras;
    for (const CameraRecord& r : self) cameras.push_back(&r);
    FUZZ_CHECK(CheckAgainstScan(plan.rows, cameras).empty());
    // Against no camera at all every row is judged whole, within the same bound.
    const PlanFaults whole = CheckAgainstScan(plan.rows, std::vector<const CameraRecord*>(plan.rows.size()));
    FUZZ_CHECK(whole.listed.size() <= PlanFaults::kListed);
    return static_cast<int>(plan.rows.size());
}
