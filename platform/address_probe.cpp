#include "address_probe.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "arp_probe.h"
#include "nethelper_client.h"
#include "neighbour_probe.h"
#include "trace_sink.h"

namespace platform {
namespace {

void Trace(in_addr address, const std::string& way) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address, text, sizeof text);
    char line[200];
    std::snprintf(line, sizeof line, "probe %s: %s", text, way.c_str());
    EmitTrace(line);
}

}  // namespace

ProbeAnswer ProbeAddress(in_addr address) {
    ProbeAnswer answer;
    const int direct = ArpProbe(address, answer);
    if (direct == 0) {
        Trace(address, "ARP directly");
        return answer;
    }
    // Without CAP_NET_RAW vantrel-nethelper sends the same probes.
    if (direct == EPERM) {
        HelperRequest request;
        request.verb = HelperVerb::ArpProbe;
        request.address = address;
        const HelperRun run = RunNetHelper(request);
        const HelperAnswer::Kind kind = run.answer.kind;
        if (run.ran && (kind == HelperAnswer::Answered || kind == HelperAnswer::Silent)) {
            answer.method = ProbeMethod::ArpOnEveryLink;
            answer.answered = kind == HelperAnswer::Answered;
            std::memcpy(answer.hwAddr, run.answer.hwAddr, sizeof answer.hwAddr);
            Trace(address, "ARP by " + run.path);
            return answer;
        }
        Trace(address, run.path.empty()      ? "no CAP_NET_RAW and no vantrel-nethelper: the kernel's neighbour table"
                       : !run.barred.empty() ? run.path + ": " + run.barred + ": the kernel's neighbour table"
                                             : run.path + " could not probe: the kernel's neighbour table");
    } else {
        Trace(address, std::string("no packet socket (") + std::strerror(direct) + "): the kernel's neighbour table");
    }
    return ProbeByKernelNeighbour(address);
}

}  // namespace platform
