#include "assign_command.h"

#include <arpa/inet.h>
#include <strings.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "address_rules.h"
#include "debug_trace.h"
#include "scanner.h"
#include "address_probe.h"
#include "visible_text.h"
#include "scan_notes.h"

namespace {

constexpr int kNoSuchCamera = 10;
constexpr int kAddressTaken = 11;

// Asks, as the Assign IP dialog does before it applies a changed address,
// whether some device already answers there. True: it does, and the question was printed.
bool AddressTaken(const std::string& ipText, bool force) {
    in_addr address{};
    address.s_addr = inet_addr(ipText.c_str());
    const auto start = std::chrono::steady_clock::now();
    const platform::ProbeAnswer probe = platform::ProbeAddress(address);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const char* method = platform::ProbeMethodName(probe.method);
    if (!probe.answered) {
        DebugTrace("Assign: probe of %s by %s: no answer (%lld ms)", ipText.c_str(), method, ms);
        return false;
    }
    const uint8_t* hw = probe.hwAddr;
    const std::string question = address_rules::DuplicateQuestion(hw);
    DebugTrace("Assign: probe of %s by %s: answered by %02x-%02x-%02x-%02x-%02x-%02x (%lld ms)%s", ipText.c_str(),
               method, hw[0], hw[1], hw[2], hw[3], hw[4], hw[5], ms, force ? "; forced" : "");
    // With --force the question is answered already; stderr still tells the installer.
    (force ? std::cerr : std::cout) << question << std::endl;
    return !force;
}

}  // namespace

std::string AddressFaults(const char* ip, const char* subnet, const char* gateway) {
    std::string faults;
    for (const char* fault : {address_rules::CheckIpAddress(ip), address_rules::CheckSubnet(subnet),
                              address_rules::CheckGateway(gateway)})
        if (fault) faults += std::string(faults.empty() ? "" : "\n") + fault;
    return faults;
}

std::string AssignArgumentFaults(const AssignArguments& a) {
    return a.dhcp ? std::string() : AddressFaults(a.ipAddr.c_str(), a.subnet.c_str(), a.gateway.c_str());
}

int RunAssignCommand(const AssignArguments& a, const std::function<int(const std::string&)>& refuse) {
    CScanner scanner;
    scanner.Scan();
    PrintScanNotes(scanner);
    int index = -1;
    for (int i = 0; i < scanner.Count() && index < 0; ++i) {
        const CameraRecord& r = scanner.RecordAt(i);
        if (!a.via.empty() && (r.foundByDrovik != 0) != (a.via == "drovik")) continue;
        if (strcasecmp(r.hwAddrText, a.hwAddr.c_str()) == 0) index = i;
    }
    if (index < 0) {
        std::fprintf(stderr, "No camera with hardware address %s answered%s.\n",
                     platform::VisibleText(a.hwAddr).c_str(),
                     a.via.empty() ? "" : (a.via == "drovik" ? " the broadcast" : " multicast DNS"));
        return kNoSuchCamera;
    }
    // With DHCP the camera's own texts go along, as the dialog's disabled fields hold them.
    const CameraRecord& r = scanner.RecordAt(index);
    // They are checked as the dialog checks its disabled fields.
    if (a.dhcp) {
        if (const std::string faults = AddressFaults(r.ipAddrText, r.subnetText, r.gatewayText); !faults.empty())
            return refuse(faults);
    }
    const std::string ip = a.dhcp ? r.ipAddrText : a.ipAddr;
    const std::string subnet = a.dhcp ? r.subnetText : a.subnet;
    const std::string gateway = a.dhcp ? r.gatewayText : a.gateway;
    if (!a.dhcp && inet_addr(ip.c_str()) != r.ipAddr && AddressTaken(ip, a.force)) return kAddressTaken;
    const uint8_t result = scanner.Assign(index, ip.c_str(), subnet.c_str(), gateway.c_str(), a.dhcp ? 1 : 0,
                                          a.reboot ? 1 : 0);
    std::cout << CScanner::ResultText(result) << std::endl;
    return result;
}
