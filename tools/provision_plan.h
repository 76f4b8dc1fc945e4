#pragma once
// A provisioning plan: one camera a row, as a site plan's spreadsheet exports
// it ("hwaddr,ip,subnet,gateway,name", in any column order; "type" and "via"
// as `scan --csv` adds them). A plan is taken whole or not at all: every
// fault is collected with its line before anything is sent.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/camera_record.h"

struct PlanRow {
    int line = 0;
    uint8_t hwAddr[6] = {};
    std::string hwAddrText;  // "02:e5:a1:00:00:01"
    bool dhcp = false;       // ip "dhcp": subnet and gateway are empty
    std::string ip, subnet, gateway;  // as written; the camera gets them as typed
    std::string name;        // empty: the camera keeps its name
    std::string via;         // "drovik", "mdns" or empty (the broadcast record first)
};

struct PlanFault {
    int line = 0;
    std::string text;
};

struct Plan {
    std::vector<PlanRow> rows;
    std::vector<PlanFault> faults;  // in line order; the plan is usable only when empty
};

Plan ParsePlan(std::string_view text);

// "02:e5:a1:00:00:01", "02-E5-A1-00-00-01" or "02e5a1000001"; false otherwise.
bool ParseHwAddr(const std::string& text, uint8_t hwAddr[6]);

// The record already has the row's address settings (DHCP, or the same
// address, mask and gateway without DHCP).
bool AtPlannedAddress(const CameraRecord& record, const PlanRow& row);
// The row names the camera and the record carries another name.
bool NameDue(const CameraRecord& record, const PlanRow& row);
