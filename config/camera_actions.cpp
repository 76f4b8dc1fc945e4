#include "camera_actions.h"

#include <arpa/inet.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "address_rules.h"
#include "assign_result.h"
#include "debug_trace.h"
#include "ipv4_interfaces.h"
#include "routes.h"
#include "scanner.h"

namespace camera_actions {

bool ParseHwAddr(const std::string& text, uint8_t hwAddr[6]) {
    if (text.size() != 12 && text.size() != 17) return false;
    uint8_t bytes[6] = {};
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        if (i > 0 && text.size() == 17 && (text[at] == ':' || text[at] == '-'))
            ++at;
        else if (i > 0 && text.size() == 17)
            return false;
        for (int half = 0; half < 2; ++half, ++at) {
            const char c = text[at];
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
            const int nibble = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
            bytes[i] = static_cast<uint8_t>(bytes[i] << 4 | nibble);
        }
    }
    std::memcpy(hwAddr, bytes, 6);
    return true;
}

std::string HwAddrText(const uint8_t hwAddr[6], char separator) {
    std::string text;
    for (int i = 0; i < 6; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", hwAddr[i]);
        if (i > 0) text += separator;
        text += pair;
    }
    return text;
}

int FindCamera(const CScanner& scanner, const uint8_t hwAddr[6], Via via) {
    int found = -1;
    for (int i = 0; i < scanner.Count(); ++i) {
        const CameraRecord& r = scanner.RecordAt(i);
        if (std::memcmp(r.hwAddr, hwAddr, 6) != 0) continue;
        if (via != Via::Any && (r.foundByDrovik != 0) != (via == Via::Drovik)) continue;
        if (found < 0 || (r.foundByDrovik && !scanner.RecordAt(found).foundByDrovik)) found = i;
    }
    return found;
}

uint8_t AssignRefusal(const CameraRecord& record) {
    return record.foundByDrovik && record.conflict ? kAssignConflictRefused : kAssignSuccess;
}

std::string AddressFaults(const char* ip, const char* subnet, const char* gateway) {
    std::string faults;
    for (const char* fault :
         {address_rules::CheckIpAddress(ip), address_rules::CheckSubnet(subnet), address_rules::CheckGateway(gateway)})
        if (fault) faults += std::string(faults.empty() ? "" : "\n") + fault;
    return faults;
}

AddressTexts AssignmentTexts(const CameraRecord& record, bool dhcp, const AddressTexts& fixed) {
    if (!dhcp) return fixed;
    return {record.ipAddrText, record.subnetText, record.gatewayText};
}

bool ProbeDue(const CameraRecord& record, bool dhcp, const std::string& ip) {
    return !dhcp && inet_addr(ip.c_str()) != record.ipAddr;
}

platform::ProbeAnswer ProbeNewAddress(in_addr address) { return ProbeNewAddresses({address})[0]; }

std::vector<platform::ProbeAnswer> ProbeNewAddresses(const std::vector<in_addr>& addresses) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<platform::ProbeAnswer> answers = platform::ProbeAddresses(addresses);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        char ipText[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &addresses[i], ipText, sizeof ipText);
        const platform::ProbeAnswer& answer = answers[i];
        const std::string outcome = answer.answered ? "answered by " + HwAddrText(answer.hwAddr, '-') : "no answer";
        DebugTrace("Duplicate-address probe of %s by %s: %s (%lld ms)", ipText,
                   platform::ProbeMethodName(answer.method), outcome.c_str(), ms);
    }
    return answers;
}

bool ReachableWhereItIs(const CScanner& scanner, const CameraRecord& record) {
    const in_addr address = record.answeredFrom;
    if (!AnsweredFromOwnAddress(record) || address.s_addr == 0) return false;
    platform::Ipv4Interface ifaces[64];
    const int count = platform::ListIpv4Interfaces(ifaces, 64);
    bool onLink = false;
    for (int i = 0; i < count; ++i) {
        const uint32_t mask = ifaces[i].netmask.s_addr;
        if (ifaces[i].address.s_addr == address.s_addr) return false;
        const uint32_t host = address.s_addr & ~mask;
        onLink = onLink || (mask != 0 && (address.s_addr & mask) == (ifaces[i].address.s_addr & mask) && host != 0 &&
                            host != ~mask);
    }
    for (int i = 0; onLink && i < scanner.Count(); ++i) {
        const CameraRecord& other = scanner.RecordAt(i);
        if (std::memcmp(other.hwAddr, record.hwAddr, 6) != 0 &&
            std::strncmp(other.ipAddrText, record.ipAddrText, sizeof record.ipAddrText) == 0)
            return false;
    }
    return onLink;
}

unsigned AddRouteToCamera(const CameraRecord& record, const char* purpose) {
    const in_addr iface = record.ifaceAddr.sin_addr;
    char ifaceText[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &iface, ifaceText, sizeof ifaceText);
    // The text came from the network: only a dotted address that sent the answer makes a route.
    if (!AnsweredFromOwnAddress(record)) {
        char from[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &record.answeredFrom, from, sizeof from);
        DebugTrace("%s: %s answered from %s: no host route", purpose, record.ipAddrText, from);
        return 0;
    }
    in_addr camera{};
    inet_pton(AF_INET, record.ipAddrText, &camera);
    const unsigned link = platform::LinkOfAddress(iface);
    if (link == 0) {
        DebugTrace("%s: no link holds %s: no host route to %s", purpose, ifaceText, record.ipAddrText);
        return 0;
    }
    const platform::RouteOutcome outcome = platform::AddHostRoute(camera, link, iface);
    DebugTrace("%s: host route to %s through %s: %s", purpose, record.ipAddrText, ifaceText,
               platform::DescribeRouteOutcome(outcome).c_str());
    return outcome.kind == platform::RouteOutcome::Added ? link : 0;
}

bool RouteBeforeWebPage(const CameraRecord& record) {
    if (record.foundByDrovik != 0 || std::strncmp(record.ipAddrText, "169.254", 7) != 0) return false;
    AddRouteToCamera(record, "Web page");
    return true;
}

std::string WebPageUrl(const CameraRecord& record) {
    in_addr address{};
    char dotted[INET_ADDRSTRLEN] = "";
    if (inet_pton(AF_INET, record.ipAddrText, &address) != 1 || !inet_ntop(AF_INET, &address, dotted, sizeof dotted)) {
        DebugTrace("Web page: %.30s is no IPv4 address", record.ipAddrText);
        return {};
    }
    std::string url = std::string("http://") + dotted;
    if (record.httpPort > 0 && record.httpPort <= 0xFFFF) url += ":" + std::to_string(record.httpPort);
    return url;
}

}  // namespace camera_actions
