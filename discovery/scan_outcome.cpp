#include "scan_outcome.h"

#include <cstdio>
#include <cstring>

#include "camera_record.h"

std::vector<std::string> ScanNotes(const ScanOutcome& outcome) {
    std::vector<std::string> notes;
    char line[200];
    if (outcome.portErrno != 0) {
        std::snprintf(line, sizeof line,
                      "Cameras that answer the broadcast cannot be found: UDP port %u is not available (%s); "
                      "only cameras found by multicast DNS are listed",
                      outcome.portFailed, std::strerror(outcome.portErrno));
        notes.push_back(line);
    }
    for (const std::array<uint8_t, 6>& hw : outcome.conflicts) {
        std::snprintf(line, sizeof line,
                      "Two devices answer as %02x:%02x:%02x:%02x:%02x:%02x: both are listed, assignment refused", hw[0],
                      hw[1], hw[2], hw[3], hw[4], hw[5]);
        notes.push_back(line);
    }
    if (outcome.notListed > 0) {
        std::snprintf(line, sizeof line, "%d cameras listed; %d more answered and are not listed", kCameraLimit,
                      outcome.notListed);
        notes.push_back(line);
    }
    return notes;
}
