#include "routes.h"

#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "nethelper_client.h"
#include "route_guard.h"
#include "route_holder.h"
#include "route_rules.h"
#include "route_table.h"
#include "trace_sink.h"

namespace platform {
namespace {

struct HeldRoute {
    in_addr destination;
    int prefixLength;
    unsigned linkIndex;
};

// The routes this process added and has not removed yet. Process-wide because
// its end, and a signal that ends it, must find them all.
struct Held {
    std::mutex lock;
    std::vector<HeldRoute> routes;
    std::set<ino_t> sweptNamespaces;  // network namespaces whose stale routes were removed
};

Held& TheHeld() {
    static Held held;
    return held;
}

const char* VerbText(HelperVerb verb) {
    return verb == HelperVerb::DeleteHostRoute || verb == HelperVerb::DeleteLinkLocalRoute ? "delete" : "add";
}

std::string Dotted(in_addr address) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

RouteOutcome FromAnswer(const HelperAnswer& answer) {
    RouteOutcome outcome;
    switch (answer.kind) {
    case HelperAnswer::Ok: outcome.kind = RouteOutcome::Added; break;
    case HelperAnswer::Exists: outcome.kind = RouteOutcome::Exists; break;
    case HelperAnswer::Refused:
        outcome.kind = RouteOutcome::Refused;
        outcome.reason = answer.reason.empty() ? "refused by vantrel-nethelper" : answer.reason;
        break;
    case HelperAnswer::Error: outcome.error = answer.error; break;
    default: outcome.error = EPERM; break;
    }
    return outcome;
}

// As this process when it may change routes; otherwise by vantrel-nethelper,
// which judges the request by the same rules; otherwise refused as EPERM.
// `why` opens the trace line's reason ("stale: ").
RouteOutcome Carry(HelperRequest request, int prefixLength, const char* why = "") {
    request.interface = LinkName(request.linkIndex);
    const HelperAnswer direct = CarryRouteRequest(request, static_cast<uint32_t>(getpid()));
    // Refused and exists are judged before anyone asks the kernel.
    std::string way = direct.kind == HelperAnswer::Ok || direct.kind == HelperAnswer::Error ? "directly: " : "";
    RouteOutcome outcome = FromAnswer(direct);
    if (direct.kind == HelperAnswer::Error && direct.error == EPERM) {
        const HelperRun run = RunNetHelper(request);
        outcome = run.ran ? FromAnswer(run.answer) : RouteOutcome{};
        if (!run.ran) outcome.error = EPERM;
        way = run.path.empty()      ? "no CAP_NET_ADMIN and no vantrel-nethelper: "
              : !run.barred.empty() ? run.path + ": " + run.barred + ": "
              : run.ran             ? "by " + run.path + ": "
                                    : "by " + run.path + ", which failed: ";
    }
    const std::string destination =
        request.verb == HelperVerb::AddLinkLocalRoute || request.verb == HelperVerb::DeleteLinkLocalRoute
            ? Dotted(LinkLocalNetwork())
            : Dotted(request.address);
    char line[400];
    std::snprintf(line, sizeof line, "route %s %s/%d dev %s: %s%s%s", VerbText(request.verb), destination.c_str(),
                  prefixLength, request.interface.c_str(), why, way.c_str(),
                  outcome.kind == RouteOutcome::Added ? "done" : DescribeRouteOutcome(outcome).c_str());
    EmitTrace(line);
    return outcome;
}

ino_t NetworkNamespace() {
    struct stat ns {};
    return stat("/proc/thread-self/ns/net", &ns) == 0 ? ns.st_ino : 0;
}

// Routes of the program's protocol whose holding process no longer runs were
// left by one that was killed: the first route this process adds in a
// namespace removes them first. One dump of the table.
void SweepStale(Held& held) {
    if (!held.sweptNamespaces.insert(NetworkNamespace()).second) return;
    const RouteView view = ReadRouteView();
    for (const RouteEntry& route : view.routes) {
        if (route.table != RT_TABLE_MAIN || route.protocol != kRouteProtocol || route.linkIndex == 0) continue;
        const bool host = route.prefixLength == 32;
        if (!host && !(route.prefixLength == 16 && route.destination.s_addr == LinkLocalNetwork().s_addr)) continue;
        uid_t user = 0;
        if (HolderRuns(route.metric, user)) continue;
        HelperRequest request;
        request.verb = host ? HelperVerb::DeleteHostRoute : HelperVerb::DeleteLinkLocalRoute;
        request.address = route.destination;
        request.linkIndex = route.linkIndex;
        Carry(request, route.prefixLength, "stale, no running Vantrel holds it: ");
    }
}

RouteOutcome Add(const HelperRequest& request, in_addr destination, int prefixLength) {
    Held& held = TheHeld();
    const std::lock_guard<std::mutex> hold(held.lock);
    SweepStale(held);
    for (const HeldRoute& route : held.routes)
        if (route.destination.s_addr == destination.s_addr && route.prefixLength == prefixLength &&
            route.linkIndex == request.linkIndex)
            return RouteOutcome{RouteOutcome::Exists, 0, {}};  // added by this process before
    const RouteOutcome outcome = Carry(request, prefixLength);
    if (outcome.kind == RouteOutcome::Added) held.routes.push_back({destination, prefixLength, request.linkIndex});
    return outcome;
}

void Remove(Held& held, size_t index) {
    const HeldRoute route = held.routes[index];
    held.routes.erase(held.routes.begin() + static_cast<long>(index));
    HelperRequest request;
    request.verb = route.prefixLength == 32 ? HelperVerb::DeleteHostRoute : HelperVerb::DeleteLinkLocalRoute;
    request.address = route.destination;
    request.linkIndex = route.linkIndex;
    Carry(request, route.prefixLength);
}

}  // namespace

RouteOutcome AddHostRoute(in_addr destination, unsigned linkIndex, in_addr source) {
    HelperRequest request;
    request.verb = HelperVerb::AddHostRoute;
    request.address = destination;
    request.linkIndex = linkIndex;
    request.source = source;
    return Add(request, destination, 32);
}

RouteOutcome AddLinkLocalRoute(unsigned linkIndex, in_addr source) {
    HelperRequest request;
    request.verb = HelperVerb::AddLinkLocalRoute;
    request.linkIndex = linkIndex;
    request.source = source;
    return Add(request, LinkLocalNetwork(), 16);
}

void ReleaseHostRoute(in_addr destination, unsigned linkIndex) {
    Held& held = TheHeld();
    const std::lock_guard<std::mutex> hold(held.lock);
    for (size_t i = 0; i < held.routes.size(); ++i) {
        const HeldRoute& route = held.routes[i];
        if (route.prefixLength == 32 && route.destination.s_addr == destination.s_addr &&
            route.linkIndex == linkIndex) {
            Remove(held, i);
            return;
        }
    }
}

void ReleaseAllRoutes() {
    Held& held = TheHeld();
    const std::lock_guard<std::mutex> hold(held.lock);
    while (!held.routes.empty()) Remove(held, held.routes.size() - 1);
}

void EndWithoutRoutes(int status) {
    Held& held = TheHeld();
    held.lock.lock();  // never given back: the process ends here
    while (!held.routes.empty()) Remove(held, held.routes.size() - 1);
    _exit(status);
}

std::string DescribeRouteOutcome(const RouteOutcome& outcome) {
    switch (outcome.kind) {
    case RouteOutcome::Added: return "added";
    case RouteOutcome::Exists: return "exists";
    case RouteOutcome::Refused: return "refused: " + outcome.reason;
    case RouteOutcome::Failed: break;
    }
    return std::strerror(outcome.error);
}

}  // namespace platform
