#include "nethelper_request.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <cstdint>

namespace platform {
namespace {

constexpr const char* kVerbs[] = {"add-host-route", "delete-host-route", "add-link-local-route",
                                  "delete-link-local-route", "arp-probe"};
constexpr size_t kVerbCount = sizeof kVerbs / sizeof kVerbs[0];
constexpr size_t kArgumentCounts[kVerbCount] = {4, 3, 3, 2, 2};

// Four dotted decimal numbers and nothing else: no hex, no octal, no short forms.
bool ReadDotted(const std::string& text, in_addr& address) {
    if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// An address a single device can hold: not "this network", loopback,
// multicast, reserved or broadcast.
bool IsUnicast(in_addr address) {
    const uint32_t host = ntohl(address.s_addr);
    const uint32_t first = host >> 24;
    return first != 0 && first != 127 && first < 224;
}

std::string CheckAddress(const std::string& text, const char* role, in_addr& address) {
    if (!ReadDotted(text, address)) return std::string(role) + " \"" + text + "\" is no dotted IPv4 address";
    if (!IsUnicast(address)) return std::string(role) + " " + text + " is no unicast address";
    return {};
}

std::string CheckInterface(const std::string& name, const HelperHost& host, HelperRequest& request) {
    bool printable = !name.empty() && name.size() < IFNAMSIZ && name != "." && name != "..";
    for (const char c : name) printable = printable && c > ' ' && c < 0x7f && c != '/';
    if (!printable) return "interface \"" + name + "\" is no interface name";
    request.linkIndex = host.linkIndex(name);
    if (request.linkIndex == 0) return "no interface " + name;
    request.interface = name;
    return {};
}

std::string CheckSource(const std::string& text, const HelperHost& host, HelperRequest& request) {
    if (std::string fault = CheckAddress(text, "source", request.source); !fault.empty()) return fault;
    if (!host.holds(request.linkIndex, request.source)) return "interface " + request.interface + " holds no " + text;
    return {};
}

// arp-probe's addresses: bounded, so one run's answer stays a few kilobytes.
std::string ReadProbed(const std::vector<std::string>& arguments, HelperRequest& request) {
    if (arguments.size() < 2 || arguments.size() > kMaxProbeAddresses + 1)
        return "arp-probe takes 1 to " + std::to_string(kMaxProbeAddresses) + " addresses";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        in_addr address{};
        if (std::string fault = CheckAddress(arguments[i], "address", address); !fault.empty()) return fault;
        request.probed.push_back(address);
    }
    return {};
}

}  // namespace

std::string ReadHelperRequest(const std::vector<std::string>& arguments, const HelperHost& host,
                              HelperRequest& request) {
    request = HelperRequest{};
    if (arguments.empty()) return "no request";
    int verb = -1;
    for (int i = 0; i < static_cast<int>(kVerbCount); ++i)
        if (arguments[0] == kVerbs[i]) verb = i;
    if (verb < 0) return "unknown request \"" + arguments[0] + "\"";
    request.verb = static_cast<HelperVerb>(verb);
    if (request.verb == HelperVerb::ArpProbe) return ReadProbed(arguments, request);
    if (arguments.size() != kArgumentCounts[verb])
        return std::string(kVerbs[verb]) + " takes " + std::to_string(kArgumentCounts[verb] - 1) +
               (kArgumentCounts[verb] == 2 ? " argument" : " arguments");

    std::string fault;
    switch (request.verb) {
    case HelperVerb::AddHostRoute:
        fault = CheckAddress(arguments[1], "destination", request.address);
        if (fault.empty()) fault = CheckInterface(arguments[2], host, request);
        if (fault.empty()) fault = CheckSource(arguments[3], host, request);
        break;
    case HelperVerb::DeleteHostRoute:
        fault = CheckAddress(arguments[1], "destination", request.address);
        if (fault.empty()) fault = CheckInterface(arguments[2], host, request);
        break;
    case HelperVerb::AddLinkLocalRoute:
        fault = CheckInterface(arguments[1], host, request);
        if (fault.empty()) fault = CheckSource(arguments[2], host, request);
        break;
    case HelperVerb::DeleteLinkLocalRoute: fault = CheckInterface(arguments[1], host, request); break;
    case HelperVerb::ArpProbe: break;  // read above
    }
    return fault;
}

std::vector<std::string> HelperArguments(const HelperRequest& request) {
    auto dotted = [](in_addr address) {
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &address, text, sizeof text);
        return std::string(text);
    };
    std::vector<std::string> arguments = {kVerbs[static_cast<int>(request.verb)]};
    switch (request.verb) {
    case HelperVerb::AddHostRoute:
        arguments.insert(arguments.end(), {dotted(request.address), request.interface, dotted(request.source)});
        break;
    case HelperVerb::DeleteHostRoute:
        arguments.insert(arguments.end(), {dotted(request.address), request.interface});
        break;
    case HelperVerb::AddLinkLocalRoute:
        arguments.insert(arguments.end(), {request.interface, dotted(request.source)});
        break;
    case HelperVerb::DeleteLinkLocalRoute: arguments.push_back(request.interface); break;
    case HelperVerb::ArpProbe:
        for (const in_addr address : request.probed) arguments.push_back(dotted(address));
        break;
    }
    return arguments;
}

}  // namespace platform
