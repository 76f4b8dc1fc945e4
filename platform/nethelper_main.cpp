// vantrel-nethelper: the one file that carries CAP_NET_ADMIN and CAP_NET_RAW
// (set when the package is installed; only group vantrel may run it), so that
// the window and vantrel-cli never need them. It does five things and nothing
// else: adds a host route, deletes it, adds and deletes the link-local route,
// sends ARP probes; every route request passes the same rules as the
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

// The route's answer, or the probe's: one line for each address, or one "error N".
std::string Carry(const HelperRequest& request, HelperAnswer& answer) {
    if (request.verb != HelperVerb::ArpProbe) {
        KeepOnly(CAP_NET_ADMIN);
        // The route is held by the program that ran the helper, whatever it says.
        answer = CarryRouteRequest(request, static_cast<uint32_t>(getppid()));
        return FormatHelperAnswer(answer);
    }
    KeepOnly(CAP_NET_RAW);
    std::vector<ProbeAnswer> probes;
    answer.error = ArpProbe(request.probed, probes);
    answer.kind = HelperAnswer::Error;
    if (answer.error != 0) return FormatHelperAnswer(answer);
    std::string lines;
    for (const ProbeAnswer& probe : probes) {
        HelperAnswer line;
        line.kind = probe.answered ? HelperAnswer::Answered : HelperAnswer::Silent;
        std::memcpy(line.hwAddr, probe.hwAddr, sizeof line.hwAddr);
        lines += FormatHelperAnswer(line);
    }
    answer.kind = HelperAnswer::Ok;  // the exit status; the lines tell what answered
    return lines;
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
    HelperAnswer answer;
    const std::string lines = Carry(request, answer);
    if (answer.kind == HelperAnswer::Refused) std::fprintf(stderr, "vantrel-nethelper: %s\n", answer.reason.c_str());
    std::fputs(lines.c_str(), stdout);
    return answer.kind == HelperAnswer::Error ? 1 : answer.kind == HelperAnswer::Refused ? 2 : 0;
}
