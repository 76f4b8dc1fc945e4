#pragma once
// A provisioning plan: one camera a row, as a site plan's spreadsheet exports
// it ("hwaddr,ip,subnet,gateway,name", in any column order; "type" and "via"
// as `scan --csv` adds them). A plan is taken whole or not at all: every
// fault is collected with its line before anything is sent.
//
// A value that repeats what its camera reports sends nothing, so it is not
// judged: `scan --csv` lists cameras as they are, odd names and empty masks
// included. What no camera can report is judged as the file is read; the
// rest once the scan has found the cameras (CheckAgainstScan).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "camera_record.h"

struct PlanRow {
    int line = 0;
    uint8_t hwAddr[6] = {};
    std::string hwAddrText;           // "02:e5:a1:00:00:01"
    bool dhcp = false;                // ip "dhcp": subnet and gateway are empty
    std::string ip, subnet, gateway;  // as written; the camera gets them as typed
    std::string name;                 // empty: the camera keeps its name
    std::string via;                  // "drovik", "mdns" or empty (the broadcast record first)
};

struct PlanFault {
    int line = 0;
    std::string text;
};

// The first faults in line order, and how many more: a hostile plan of
// millions of bad rows costs a count, not a list.
struct PlanFaults {
    static constexpr std::size_t kListed = 100;
    std::vector<PlanFault> listed;
    std::size_t more = 0;

    void Add(int line, std::string text);
    bool empty() const { return listed.empty(); }
};

struct Plan {
    std::vector<PlanRow> rows;  // left empty once a fault is found
    PlanFaults faults;          // the plan is usable only when empty
};

// The most a plan file may hold, in bytes (4 MiB).
constexpr std::size_t kMaxPlanBytes = 4u << 20;

// `text` as a plan; a UTF-8 byte-order mark first is skipped, and each field
// loses one leading "'" (written before what a spreadsheet takes for a formula).
Plan ParsePlan(std::string_view text);

// `cameras[i]` is what the scan found for rows[i], or null. Judges what each
// row would send: its address settings unless the camera has them, its name
// unless the camera has it, and a fixed address planned twice unless neither
// row changes it. A row without a camera is judged whole.
PlanFaults CheckAgainstScan(const std::vector<PlanRow>& rows, const std::vector<const CameraRecord*>& cameras);

// Four decimal numbers 0 to 255 without leading zeros; `address` in host order.
bool ParseDotted(const std::string& text, uint32_t& address);

// The record already has the row's address settings (DHCP, or the same
// address, mask and gateway without DHCP, as texts or as numbers).
bool AtPlannedAddress(const CameraRecord& record, const PlanRow& row);
// The row names the camera and the record carries another name.
bool NameDue(const CameraRecord& record, const PlanRow& row);
