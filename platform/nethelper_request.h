#pragma once
// What vantrel-nethelper may be asked, as an argument vector, and the checks
// every argument passes before the helper acts on it. Pure: the two questions
// about the PC's links come in through HelperHost.
#include <netinet/in.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The helper's five requests, one a run:
//   add-host-route ADDRESS INTERFACE SOURCE
//   delete-host-route ADDRESS INTERFACE
//   add-link-local-route INTERFACE SOURCE
//   delete-link-local-route INTERFACE
//   arp-probe ADDRESS [ADDRESS...]   (at most kMaxProbeAddresses, probed together)
// The route rules (route_rules.h) are judged after these argument checks.
inline constexpr std::size_t kMaxProbeAddresses = 256;

enum class HelperVerb { AddHostRoute, DeleteHostRoute, AddLinkLocalRoute, DeleteLinkLocalRoute, ArpProbe };

struct HelperRequest {
    HelperVerb verb = HelperVerb::ArpProbe;
    in_addr address{};            // the host route's destination
    std::vector<in_addr> probed;  // arp-probe: 1 to kMaxProbeAddresses addresses
    std::string interface;        // the link, by name
    unsigned linkIndex = 0;
    in_addr source{};  // the route's preferred source: an address the link holds
};

struct HelperHost {
    std::function<unsigned(const std::string& name)> linkIndex;  // 0: no such link
    std::function<bool(unsigned index, in_addr address)> holds;  // the link carries this address
};

// Reads `arguments` (the helper's argv without argv[0]) into `request`.
// Returns an empty string when every argument is sound, else what is wrong.
std::string ReadHelperRequest(const std::vector<std::string>& arguments, const HelperHost& host,
                              HelperRequest& request);

// The argument vector (without argv[0]) that asks for `request`.
std::vector<std::string> HelperArguments(const HelperRequest& request);

}  // namespace platform
