#include "assign_command.h"

#include <strings.h>

#include <cstdio>
#include <iostream>

#include "config/address_rules.h"
#include "discovery/scanner.h"

namespace {

constexpr int kNoSuchCamera = 10;

}  // namespace

std::string AssignArgumentFaults(const AssignArguments& a) {
    if (a.dhcp) return {};
    std::string faults;
    for (const char* fault : {address_rules::CheckIpAddress(a.ipAddr.c_str()),
                              address_rules::CheckSubnet(a.subnet.c_str()),
                              address_rules::CheckGateway(a.gateway.c_str())})
        if (fault) faults += std::string(faults.empty() ? "" : "\n") + fault;
    return faults;
}

int RunAssignCommand(const AssignArguments& a) {
    CScanner scanner;
    scanner.Scan();
    int index = -1;
    for (int i = 0; i < scanner.Count() && index < 0; ++i) {
        const CameraRecord& r = scanner.RecordAt(i);
        if (!a.via.empty() && (r.foundByDrovik != 0) != (a.via == "drovik")) continue;
        if (strcasecmp(r.hwAddrText, a.hwAddr.c_str()) == 0) index = i;
    }
    if (index < 0) {
        std::fprintf(stderr, "No camera with hardware address %s answered%s.\n", a.hwAddr.c_str(),
                     a.via.empty() ? "" : (a.via == "drovik" ? " the broadcast" : " multicast DNS"));
        return kNoSuchCamera;
    }
    // With DHCP the camera's own texts go along, as the dialog's disabled fields hold them.
    const CameraRecord& r = scanner.RecordAt(index);
    const std::string ip = a.dhcp ? r.ipAddrText : a.ipAddr;
    const std::string subnet = a.dhcp ? r.subnetText : a.subnet;
    const std::string gateway = a.dhcp ? r.gatewayText : a.gateway;
    const uint8_t result = scanner.Assign(index, ip.c_str(), subnet.c_str(), gateway.c_str(), a.dhcp ? 1 : 0,
                                          a.reboot ? 1 : 0);
    std::cout << CScanner::ResultText(result) << std::endl;
    return result;
}
