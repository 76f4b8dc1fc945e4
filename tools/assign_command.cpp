#include "assign_command.h"

#include <arpa/inet.h>

#include <cstdio>
#include <iostream>

#include "address_rules.h"
#include "camera_actions.h"
#include "debug_trace.h"
#include "scan_notes.h"
#include "scanner.h"
#include "visible_text.h"

namespace {

constexpr int kNoSuchCamera = 10;
constexpr int kAddressTaken = 11;

// Asks, as the Assign IP dialog does before it applies a changed address,
// whether some device already answers there. True: it does, and the question was printed.
bool AddressTaken(const std::string& ipText, bool force) {
    in_addr address{};
    address.s_addr = inet_addr(ipText.c_str());
    const platform::ProbeAnswer probe = camera_actions::ProbeNewAddress(address);
    if (!probe.answered) return false;
    if (force) DebugTrace("Assign: %s is taken; forced", ipText.c_str());
    // With --force the question is answered already; stderr still tells the installer.
    (force ? std::cerr : std::cout) << address_rules::DuplicateQuestion(probe.hwAddr) << std::endl;
    return !force;
}

camera_actions::Via ViaOf(const std::string& via) {
    if (via.empty()) return camera_actions::Via::Any;
    return via == "drovik" ? camera_actions::Via::Drovik : camera_actions::Via::Mdns;
}

}  // namespace

std::string AssignArgumentFaults(const AssignArguments& a) {
    return a.dhcp ? std::string()
                  : camera_actions::AddressFaults(a.ipAddr.c_str(), a.subnet.c_str(), a.gateway.c_str());
}

int RunAssignCommand(const AssignArguments& a, const std::function<int(const std::string&)>& refuse) {
    CScanner scanner;
    scanner.Scan();
    PrintScanNotes(scanner);
    uint8_t hwAddr[6];
    const int index =
        camera_actions::ParseHwAddr(a.hwAddr, hwAddr) ? camera_actions::FindCamera(scanner, hwAddr, ViaOf(a.via)) : -1;
    if (index < 0) {
        std::fprintf(stderr, "No camera with hardware address %s answered%s.\n",
                     platform::VisibleText(a.hwAddr).c_str(),
                     a.via.empty() ? "" : (a.via == "drovik" ? " the broadcast" : " multicast DNS"));
        return kNoSuchCamera;
    }
    const CameraRecord& r = scanner.RecordAt(index);
    // The camera's own texts, sent with DHCP, are checked as the dialog checks its disabled fields.
    if (a.dhcp) {
        if (const std::string faults = camera_actions::AddressFaults(r.ipAddrText, r.subnetText, r.gatewayText);
            !faults.empty())
            return refuse(faults);
    }
    const camera_actions::AddressTexts texts =
        camera_actions::AssignmentTexts(r, a.dhcp, {a.ipAddr, a.subnet, a.gateway});
    if (camera_actions::ProbeDue(r, a.dhcp, texts.ip) && AddressTaken(texts.ip, a.force)) return kAddressTaken;
    const uint8_t result = scanner.Assign(index, texts.ip.c_str(), texts.subnet.c_str(), texts.gateway.c_str(),
                                          a.dhcp ? 1 : 0, a.reboot ? 1 : 0);
    std::cout << CScanner::ResultText(result) << std::endl;
    return result;
}
