#pragma once
// The cameras' web requests as pure functions of the request target, as it
// came on the wire: which page it asks for, the OID writes of a set.oid query,
// and what a write does to the camera.
//
//   /get.oid?<OID>                           read one OID (no credentials)
//   /set.oid?OidTB<OID>=<value>&...          write OIDs (OidTR<OID> too)
//   /DPARSE_$O(<OID>,L).cmd                  the list of values an OID offers

#include "camera.h"

#include <string>
#include <string_view>
#include <vector>

namespace camsim::http {

// %XX sequences decoded; anything else, '+' included, stays as it is.
std::string PercentDecode(std::string_view text);

enum class Page { GetOid, SetOid, List, Unknown };

struct Target {
    Page page = Page::Unknown;
    std::string oid;    // get.oid and the lists: the OID, decoded
    std::string query;  // set.oid: the query as it came
};

Target ParseTarget(std::string_view rawTarget);

struct OidWrite {
    std::string oid;
    std::string value;
    bool operator==(const OidWrite&) const = default;
};

// The writes of a set.oid query, in order; arguments not named OidTB<OID>
// or OidTR<OID> are skipped.
std::vector<OidWrite> ParseSetQuery(std::string_view query);

// Stores the value in the camera's OID table. 2.4 renames the camera, and the network OIDs change
// what its discovery replies and mDNS answers carry: 3.6.10 address, 3.6.1
// subnet, 3.6.2 gateway (a text that is no address leaves them), 4.2 DHCP
// ("enabled" or "disabled").
void ApplyOidWrite(Camera& cam, const OidWrite& write);

}  // namespace camsim::http
