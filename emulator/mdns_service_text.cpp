#include "mdns_service_text.h"

#include <cstdio>

namespace camsim::mdns {

std::string hwAddrDigits(const HwAddr& hw) {
    char buf[13];
    std::snprintf(buf, sizeof(buf), "%02x%02x%02x%02x%02x%02x", hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]);
    return buf;
}

std::string instanceLabel(const Camera& cam) {
    return cam.name + "-" + hwAddrDigits(cam.hwAddr);
}

std::vector<std::string> txtStrings(const Camera& cam) {
    if (cam.txt) return *cam.txt;
    std::vector<std::string> out = {
        "server name=" + cam.name,
        "ip addr=" + dotted(cam.ip),
        "subnet=" + dotted(cam.subnet),
        "gateway=" + dotted(cam.gateway),
        "product name=" + cam.productName,
        cam.dhcp != 0 ? "dhcp=enabled" : "dhcp=disabled",
    };
    if (cam.productCode) out.push_back("product code=" + *cam.productCode);
    out.push_back("hw addr=" + hwAddrDigits(cam.hwAddr));
    return out;
}

}  // namespace camsim::mdns
