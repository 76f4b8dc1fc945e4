#pragma once
// The result codes of an assignment, shared by both paths; CScanner::ResultText
// gives their texts.
#include <cstdint>

enum AssignResult : uint8_t {
    kAssignSuccess = 0,
    kAssignBadPacketId = 1,
    kAssignIncorrectResponse = 2,
    kAssignFailure = 3,  // also the only failure of the HTTP path
    kAssignInvalidPassword = 4,
    kAssignSendError = 5,
    kAssignReceiveError = 6,
    // A broadcast record whose hardware address two devices answered with:
    // either might take the assignment, so nothing is sent.
    kAssignConflictRefused = 15,
};
