#include "broadcast_run.h"

#include <cstring>

#include "assign_result.h"
#include "camera_actions.h"
#include "debug_trace.h"
#include "scanner.h"

BroadcastRun::BroadcastRun(CDrovik& drovik)
    : drovik_(drovik),
      turn_(CScanner::kTurnBound,
            [](pid_t holder) {
                DebugTrace("Assign: waiting for its turn: process %d is scanning or assigning on this PC",
                           static_cast<int>(holder));
            }),
      sockets_(drovik) {
    if (!turn_.Held())
        DebugTrace("Assign: no turn (%s); assigning beside the other program", std::strerror(turn_.Error()));
    // A late reply to another request must not answer the first of these.
    if (sockets_.Open()) drovik_.Flush();
}

uint8_t BroadcastRun::Assign(const CameraRecord& record, const char* ipAddr, const char* subnet, const char* gateway,
                             uint8_t dhcp, uint8_t reboot) {
    if (const uint8_t refused = camera_actions::AssignRefusal(record)) return refused;  // never sent
    if (!sockets_.Open()) return kAssignSendError;
    return drovik_.Assign(record, ipAddr, subnet, gateway, dhcp, reboot);
}
