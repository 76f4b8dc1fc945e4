#include "address_rules.h"

#include <arpa/inet.h>

#include <cstdio>

namespace address_rules {

bool Parse(const char* text, uint32_t& address) {
    if (!text) return false;
    address = inet_addr(text);
    return address != INADDR_NONE;
}

const char* CheckIpAddress(const char* text) {
    uint32_t address;
    return Parse(text, address) ? nullptr : "Invalid IP address. Use xxx.xxx.xxx.xxx";
}

const char* CheckSubnet(const char* text) {
    uint32_t address;
    return Parse(text, address) ? nullptr : "Invalid subnet mask. Use xxx.xxx.xxx.xxx";
}

const char* CheckGateway(const char* text) {
    uint32_t address;
    return Parse(text, address) ? nullptr : "Invalid Gateway. Use xxx.xxx.xxx.xxx";
}

const char* CheckCameraName(const std::string& name) {
    if (name.size() > 16) return "Name exceeds maximum of 16 characters";
    for (const char c : name) {
        const bool allowed =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed) return "Invalid name.  Use alphanumeric, '-' or '_' only";
    }
    return nullptr;
}

std::string DuplicateQuestion(const uint8_t hw[6]) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Device at address %02x-%02x-%02x-%02x-%02x-%02x is responding to this IP address.  "
                  "Continue with assignment?",
                  hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]);
    return text;
}

const char* SubnetDefault(const char* ipText) {
    uint32_t address;
    if (!Parse(ipText, address)) return nullptr;
    const unsigned first = ntohl(address) >> 24;
    if (first >= 1 && first <= 126) return "255.0.0.0";
    if (first >= 128 && first <= 191) return "255.255.0.0";
    if (first >= 192) return "255.255.255.0";
    return nullptr;
}

}  // namespace address_rules
