#include "routes.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "nethelper_client.h"
#include "route_requests.h"
#include "trace_sink.h"

namespace platform {
namespace {

void Trace(const HelperRequest& request, int prefixLength, const char* way, int result) {
    char destination[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &request.address, destination, sizeof destination);
    char line[200];
    std::snprintf(line, sizeof line, "route %s %s/%d dev %s: %s: %s",
                  request.verb == HelperVerb::DeleteHostRoute ? "delete" : "add", destination, prefixLength,
                  request.interface.c_str(), way, result == 0 ? "done" : std::strerror(result));
    EmitTrace(line);
}

// The kernel's answer to this process when it holds CAP_NET_ADMIN; otherwise
// vantrel-nethelper's; otherwise the refusal, as callers knew it before.
int Carry(HelperRequest request, int prefixLength, int direct) {
    char name[IF_NAMESIZE] = "";
    request.interface = if_indextoname(request.linkIndex, name) ? name : "?";
    if (direct != EPERM) {
        Trace(request, prefixLength, "directly", direct);
        return direct;
    }
    const HelperRun run = RunNetHelper(request);
    int result = EPERM;
    if (run.ran && run.answer.kind == HelperAnswer::Ok) result = 0;
    if (run.ran && run.answer.kind == HelperAnswer::Error) result = run.answer.error;
    const std::string way = run.path.empty() ? "no CAP_NET_ADMIN and no vantrel-nethelper"
                            : run.ran        ? "by " + run.path
                                             : "by " + run.path + ", which failed";
    Trace(request, prefixLength, way.c_str(), result);
    return result;
}

}  // namespace

int AddLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex, in_addr source, bool replace) {
    const int direct = netlink::AddLinkRoute(destination, prefixLength, linkIndex, source, replace);
    // The helper adds host routes only.
    if (prefixLength != 32) return direct;
    HelperRequest request{HelperVerb::AddHostRoute, destination, {}, linkIndex, source, replace};
    return Carry(request, prefixLength, direct);
}

int DeleteLinkRoute(in_addr destination, int prefixLength, unsigned linkIndex) {
    const int direct = netlink::DeleteLinkRoute(destination, prefixLength, linkIndex);
    if (prefixLength != 32) return direct;
    HelperRequest request{HelperVerb::DeleteHostRoute, destination, {}, linkIndex, {}, false};
    return Carry(request, prefixLength, direct);
}

int AddLinkLocalRoute(unsigned linkIndex, in_addr source) {
    const in_addr network = netlink::LinkLocalNetwork();
    const int direct = netlink::AddLinkRoute(network, 16, linkIndex, source, false);
    HelperRequest request{HelperVerb::AddLinkLocalRoute, network, {}, linkIndex, source, false};
    return Carry(request, 16, direct);
}

}  // namespace platform
