#pragma once
// What a scan found besides its records, for the front ends to tell the user.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ScanOutcome {
    // Nonzero: the broadcast discovery could not bind `portFailed`; errno of the bind.
    int portErrno = 0;
    uint16_t portFailed = 0;
    // Cameras that answered once the table held kCameraLimit: not listed.
    int notListed = 0;
    // Hardware addresses that two devices answered the broadcast with, in table order.
    std::vector<std::array<uint8_t, 6>> conflicts;
};

// One line for each note of `outcome`, in the order port, conflicts, table;
// none after a scan without surprises. No camera text goes into them.
std::vector<std::string> ScanNotes(const ScanOutcome& outcome);
