#pragma once
// Camera records as discovery fills them, for tests that hand records to the
// code under test without a network. What a test leaves out stays zero.
#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "camera_record.h"

struct RecordFields {
    const char* name = "";
    const char* type = "";  // the product name
    const char* hw = "";    // "02:e5:a1:0a:0b:0c": the text, and the bytes when it reads as six
    const char* ip = "";    // the text, and the address when it reads as one
    const char* subnet = "";
    const char* gateway = "";
    int dhcp = 0;
    int code = 0;         // the product code
    bool drovik = false;  // found by the broadcast (else by multicast DNS)
    int httpPort = 0;     // nonzero: with its text and the web address
};

inline CameraRecord MakeRecord(const RecordFields& f) {
    CameraRecord r{};
    std::snprintf(r.name, sizeof r.name, "%s", f.name);
    std::snprintf(r.productName, sizeof r.productName, "%s", f.type);
    std::snprintf(r.hwAddrText, sizeof r.hwAddrText, "%s", f.hw);
    unsigned hw[6];
    if (std::sscanf(f.hw, "%2x:%2x:%2x:%2x:%2x:%2x", &hw[0], &hw[1], &hw[2], &hw[3], &hw[4], &hw[5]) == 6)
        for (int i = 0; i < 6; ++i) r.hwAddr[i] = static_cast<unsigned char>(hw[i]);
    std::snprintf(r.ipAddrText, sizeof r.ipAddrText, "%s", f.ip);
    inet_pton(AF_INET, f.ip, &r.ipAddr);
    std::snprintf(r.subnetText, sizeof r.subnetText, "%s", f.subnet);
    std::snprintf(r.gatewayText, sizeof r.gatewayText, "%s", f.gateway);
    r.dhcp = static_cast<unsigned char>(f.dhcp);
    r.productCode = f.code;
    r.foundByDrovik = f.drovik;
    r.httpPort = f.httpPort;
    if (f.httpPort) FormWebAddr(r);
    return r;
}

// A camera found by the broadcast with its web server on port 80, as the window lists one.
inline CameraRecord MakeCamera(const char* name, const char* type, const char* hw, const char* ip) {
    return MakeRecord({.name = name, .type = type, .hw = hw, .ip = ip, .drovik = true, .httpPort = 80});
}
