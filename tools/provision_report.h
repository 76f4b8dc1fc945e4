#pragma once
// What vantrel-cli provision prints: one line (or JSON object) a plan row.
#include <optional>
#include <string>
#include <vector>

// A camera's address settings and name, as a scan lists them or as a plan leaves them.
struct CameraState {
    std::string ip, subnet, gateway;  // empty after a change to DHCP: the server picks them
    bool dhcp = false;
    std::string name;
};

struct RowOutcome {
    std::string hwAddrText;
    std::string planned;                // the planned address, or "dhcp"
    std::string result;                 // "verified", "unchanged", "not found", "address in use by ...", ...
    int code = 0;                       // 0, an assignment result (1 to 6, 15), or one of the codes below
    bool verified = false;              // the last scan saw the camera at its planned settings
    bool changed = false;               // the camera was given new settings or its name (a dry run: would be)
    std::optional<CameraState> before;  // as the first scan found it; none when not found
    CameraState after;                  // what the plan leaves it with
};

// Codes beyond the assignment results; 10 and 11 as vantrel-cli assign exits.
namespace outcome_code {
constexpr int kNotFound = 10;
constexpr int kAddressInUse = 11;
constexpr int kNameNotSet = 12;
constexpr int kNotSeen = 13;      // not at its planned address after the wait
constexpr int kNameNotSeen = 14;  // at its address, but with another name
}  // namespace outcome_code

// A table with a heading line, tab-separated, or a JSON array.
void PrintOutcomes(const std::vector<RowOutcome>& outcomes, bool json);
