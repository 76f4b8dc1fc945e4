#pragma once
// vantrel-cli provision: many cameras from one plan, by the window's own
// scan, duplicate-address probe, assignment, waits and settings access.
#include <vector>

#include "provision_plan.h"

struct ProvisionOptions {
    bool reboot = false;  // every assigned camera restarts at once
    bool dryRun = false;  // scan and probe only: nothing that changes a camera is sent
    bool json = false;
};

// Runs a plan that parsed without faults and prints one outcome a row.
// Returns 0 when every row ended "unchanged" or "verified" (with --dry-run:
// when every row was found and free to proceed), 1 otherwise, and 130, 143
// or 129 after SIGINT, SIGTERM or SIGHUP, having printed the rows done so far.
int RunProvisionCommand(const std::vector<PlanRow>& rows, const ProvisionOptions& options);
