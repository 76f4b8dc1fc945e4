// vantrel-nethelper: the one file that carries CAP_NET_ADMIN and CAP_NET_RAW
// (set when the package is installed; only group vantrel may run it), so that
// the window and vantrel-cli never need them. It does five things and nothing
// else: adds a host route, deletes it, adds and deletes the link-local route,
// sends an ARP probe; every route request passes the same rules as the
// program's own (route_guard.h). It reads only its arguments, checks each,
// ignores the environment and runs nothing.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arp_probe.h"
#include "ipv4_interfaces.h"
#include "nethelper_answer.h"
#include "nethelper_request.h"
#include "route_guard.h"

#include <net/if.h>

namespace {

using namespace platform;

// Keeps `capability` alone, for this process and nothing it could start.
void KeepOnly(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return;
    for (int i = 0; i < 2; ++i) {
        const uint32_t keep = i == capability / 32 ? 1u << (capability % 32) : 0;
        data[i].effective &= keep;
        data[i].permitted &= keep;
        data[i].inheritable = 0;
    }
    (void)syscall(SYS_capset, &header, data);
}

HelperHost ThisPc() {
    HelperHost host;
    host.linkIndex = [](const std::string& name) { return if_nametoindex(name.c_str()); };
    host.holds = [](unsigned index, in_addr address) { return LinkOfAddress(address) == index; };
    return host;
}

HelperAnswer Carry(const HelperRequest& request) {
    if (request.verb != HelperVerb::ArpProbe) {
        KeepOnly(CAP_NET_ADMIN);
        // The route is held by the program that ran the helper, whatever it says.
        return CarryRouteRequest(request, static_cast<uint32_t>(getppid()));
    }
    KeepOnly(CAP_NET_RAW);
    ProbeAnswer probe;
    const int result = ArpProbe(request.address, probe);
    HelperAnswer answer;
    answer.kind = result != 0 ? HelperAnswer::Error : probe.answered ? HelperAnswer::Answered : HelperAnswer::Silent;
    answer.error = result;
    std::memcpy(answer.hwAddr, probe.hwAddr, sizeof answer.hwAddr);
    return answer;
}

}  // namespace

int main(int argc, char** argv) {
    clearenv();
    close_range(3, ~0U, 0);  // nothing the caller left open is ours to use
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    HelperRequest request;
    const std::string fault = ReadHelperRequest(arguments, ThisPc(), request);
    if (!fault.empty()) {
        std::fprintf(stderr, "vantrel-nethelper: %s\n", fault.c_str());
        HelperAnswer refused;
        refused.kind = HelperAnswer::Refused;
        refused.reason = fault;
        std::fputs(FormatHelperAnswer(refused).c_str(), stdout);
        return 2;
    }
    const HelperAnswer answer = Carry(request);
    if (answer.kind == HelperAnswer::Refused) std::fprintf(stderr, "vantrel-nethelper: %s\n", answer.reason.c_str());
    std::fputs(FormatHelperAnswer(answer).c_str(), stdout);
    return answer.kind == HelperAnswer::Error ? 1 : answer.kind == HelperAnswer::Refused ? 2 : 0;
}
