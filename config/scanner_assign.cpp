// CScanner::Assign: an assignment goes by the protocol that found the camera.
#include <cstring>

#include "debug_trace.h"
#include "drovik.h"
#include "mdns.h"
#include "scanner.h"
#include "camera_actions.h"
#include "camera_port_turn.h"

uint8_t CScanner::Assign(int index, const char* ipAddr, const char* subnet, const char* gateway, uint8_t dhcp,
                         uint8_t reboot) {
    if (index < 0 || index >= count) return kAssignFailure;
    const CameraRecord record = table[index];
    if (!record.foundByDrovik)
        return mdns ? mdns->Assign(record, ipAddr, subnet, gateway, dhcp, reboot) : uint8_t{kAssignFailure};
    if (const uint8_t refused = camera_actions::AssignRefusal(record)) {
        DebugTrace("Assign: two devices answered as %s: refused", record.hwAddrText);
        return refused;
    }
    if (!drovik) return kAssignSendError;
    // The reply comes to the port scans listen on: take turns with them.
    const platform::CameraPortTurn turn(kTurnBound, [](pid_t holder) {
        DebugTrace("Assign: waiting for its turn: process %d is scanning or assigning on this PC",
                   static_cast<int>(holder));
    });
    if (!turn.Held())
        DebugTrace("Assign: no turn (%s); assigning beside the other program", std::strerror(turn.Error()));
    return drovik->Assign(record, ipAddr, subnet, gateway, dhcp, reboot);
}
