#pragma once
// Runs vantrel-nethelper, the small program that alone carries CAP_NET_ADMIN
// and CAP_NET_RAW, for a program that holds neither.
#include <string>
#include <vector>

#include "nethelper_answer.h"
#include "nethelper_request.h"

namespace platform {

struct HelperRun {
    bool ran = false;                  // the helper was found, started and ended within its time
    std::string path;                  // where it was found
    std::string barred;                // found but this user may not run it: why ("not in group vantrel")
    HelperAnswer answer;               // its one line
    std::vector<HelperAnswer> probes;  // arp-probe: one answer per address, else empty
};

// Where the helper lies: beside this program, in ../libexec/vantrel/ from it,
// or where it was installed; the first that is there, runnable or not. Empty
// when none is there.
std::string NetHelperPath();

// Runs the helper for `request` with an argument vector and an empty
// environment, and reads its answer. Blocks for at most a few seconds.
HelperRun RunNetHelper(const HelperRequest& request);

}  // namespace platform
