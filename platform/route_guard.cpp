#include "route_guard.h"

#include <linux/rtnetlink.h>
#include <unistd.h>

#include <cerrno>

#include "route_holder.h"
#include "route_requests.h"
#include "route_rules.h"
#include "route_table.h"

namespace platform {
namespace {

HelperAnswer Kernel(int result) {
    HelperAnswer answer;
    answer.kind = result == 0 ? HelperAnswer::Ok : HelperAnswer::Error;
    answer.error = result;
    return answer;
}

// An identical route that appeared since the table was read is there all the same.
HelperAnswer Added(int result) {
    if (result != EEXIST) return Kernel(result);
    HelperAnswer answer;
    answer.kind = HelperAnswer::Exists;
    return answer;
}

HelperAnswer FromVerdict(const RouteVerdict& verdict) {
    HelperAnswer answer;
    answer.kind = verdict.kind == RouteVerdict::Exists ? HelperAnswer::Exists : HelperAnswer::Refused;
    answer.reason = verdict.reason;
    return answer;
}

HelperAnswer Delete(in_addr destination, int prefixLength, unsigned linkIndex, const RouteView& view) {
    const RouteVerdict verdict = JudgeDeleteRoute(destination, prefixLength, linkIndex, view);
    if (verdict.kind != RouteVerdict::Allowed) return FromVerdict(verdict);
    for (const RouteEntry& route : view.routes) {
        if (route.table != RT_TABLE_MAIN || route.protocol != kRouteProtocol || route.linkIndex != linkIndex ||
            route.prefixLength != prefixLength || route.destination.s_addr != destination.s_addr)
            continue;
        uid_t user = 0;
        if (HolderRuns(route.metric, user) && user != getuid())
            return FromVerdict({RouteVerdict::Refused, "the route is held by a running Vantrel of another user"});
    }
    return Kernel(netlink::DeleteLinkRoute(destination, prefixLength, linkIndex));
}

}  // namespace

HelperAnswer CarryRouteRequest(const HelperRequest& request, uint32_t holder) {
    const RouteView view = ReadRouteView();
    RouteVerdict verdict;
    switch (request.verb) {
    case HelperVerb::AddHostRoute:
        verdict = JudgeAddHostRoute(request.address, request.linkIndex, view);
        if (verdict.kind != RouteVerdict::Allowed) return FromVerdict(verdict);
        return Added(netlink::AddLinkRoute(request.address, 32, request.linkIndex, request.source, holder));
    case HelperVerb::AddLinkLocalRoute:
        verdict = JudgeAddLinkLocalRoute(request.linkIndex, view);
        if (verdict.kind != RouteVerdict::Allowed) return FromVerdict(verdict);
        return Added(netlink::AddLinkRoute(LinkLocalNetwork(), 16, request.linkIndex, request.source, holder));
    case HelperVerb::DeleteHostRoute: return Delete(request.address, 32, request.linkIndex, view);
    case HelperVerb::DeleteLinkLocalRoute: return Delete(LinkLocalNetwork(), 16, request.linkIndex, view);
    case HelperVerb::ArpProbe: break;
    }
    return Kernel(EINVAL);
}

}  // namespace platform
