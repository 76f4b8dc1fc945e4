#pragma once
// The one gate every route change passes, in the program (when it holds
// CAP_NET_ADMIN) and in vantrel-nethelper alike: the rules, then the kernel.
#include <cstdint>

#include "nethelper_answer.h"
#include "nethelper_request.h"

namespace platform {

// Carries a route request (any verb but ArpProbe) as this process: judges it
// against the table as it is now, then asks the kernel. A route it adds is
// marked as held by process `holder` (route_holder.h). Answers Ok, Exists,
// Refused with its reason, or Error with the kernel's errno (EPERM without
// CAP_NET_ADMIN). A deletion is refused while another user's process holds
// the route.
HelperAnswer CarryRouteRequest(const HelperRequest& request, uint32_t holder);

}  // namespace platform
