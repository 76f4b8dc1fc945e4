// CScanner::Assign: an assignment goes by the protocol that found the camera.
#include "broadcast_run.h"
#include "camera_actions.h"
#include "debug_trace.h"
#include "drovik.h"
#include "mdns.h"
#include "scanner.h"

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
    BroadcastRun run(*drovik);
    return run.Assign(record, ipAddr, subnet, gateway, dhcp, reboot);
}
