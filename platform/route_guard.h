#pragma once
// The one gate every route change passes, in the program (when it holds
// CAP_NET_ADMIN) and in vantrel-nethelper alike: the rules, then the kernel.
#include "nethelper_answer.h"
#include "nethelper_request.h"

namespace platform {

// Carries a route request (any verb but ArpProbe) as this process: judges it
// against the table as it is now, then asks the kernel. Answers Ok, Exists,
// Refused with its reason, or Error with the kernel's errno (EPERM without
// CAP_NET_ADMIN). A deletion is refused while another user's process holds
// the route (route_holder.h).
HelperAnswer CarryRouteRequest(const HelperRequest& request);

}  // namespace platform
