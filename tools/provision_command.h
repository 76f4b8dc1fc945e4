#pragma once
// vantrel-cli provision: many cameras from one plan, by the window's own
// scan, duplicate-address probe, assignment, waits and settings access.
#include <string>

#include "provision_plan.h"

struct ProvisionOptions {
    bool reboot = false;  // every assigned camera restarts at once
    bool dryRun = false;  // scan and probe only: nothing that changes a camera is sent
    bool json = false;
};

// vantrel-cli provision PLAN: reads the plan (a regular file, or "-" for
// standard input, of at most kMaxPlanBytes) and runs it, printing one outcome
// a row. Returns 2 when the file cannot be read or the plan is refused, with
// the reason on standard error, nothing sent; 0 when every row ended
// "unchanged" or "verified" (with --dry-run: when every row was found and free
// to proceed), 1 otherwise, and 130, 143 or 129 after SIGINT, SIGTERM or
// SIGHUP, having printed the rows done so far.
int RunProvisionPlan(const std::string& path, const ProvisionOptions& options);
