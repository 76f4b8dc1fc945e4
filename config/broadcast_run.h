#pragma once
// Broadcast assignments one after another under one turn on the cameras'
// reply port and on one pair of sockets, flushed once before the first: each
// request still has a fresh packet ID and is answered before the next goes,
// and a reply is taken only from its camera, so a late reply to an earlier
// request answers none of the later ones.
#include <cstdint>

#include "camera_port_turn.h"
#include "camera_record.h"
#include "drovik.h"

class BroadcastRun {
public:
    // Takes the turn (waiting as a scan does) and opens and flushes the sockets.
    explicit BroadcastRun(CDrovik& drovik);
    ~BroadcastRun() = default;  // closes the sockets, then ends the turn
    BroadcastRun(const BroadcastRun&) = delete;
    BroadcastRun& operator=(const BroadcastRun&) = delete;

    // As CScanner::Assign for a broadcast record: one two devices answered as
    // is refused (kAssignConflictRefused) before anything is sent.
    uint8_t Assign(const CameraRecord& record, const char* ipAddr, const char* subnet, const char* gateway,
                   uint8_t dhcp, uint8_t reboot);

private:
    CDrovik& drovik_;
    platform::CameraPortTurn turn_;
    CDrovik::Exchange sockets_;
};
