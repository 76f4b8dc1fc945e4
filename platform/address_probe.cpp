#include "address_probe.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
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

// Without CAP_NET_RAW vantrel-nethelper sends the same probes, a batch a run.
// Returns how many addresses from the first it answered; `why` tells why it stopped short.
std::size_t ProbeByHelper(const std::vector<in_addr>& addresses, std::vector<ProbeAnswer>& answers, std::string& why) {
    std::size_t done = 0;
    while (done < addresses.size()) {
        HelperRequest request;
        request.verb = HelperVerb::ArpProbe;
        const std::size_t batch = std::min(kMaxProbeAddresses, addresses.size() - done);
        request.probed.assign(addresses.begin() + static_cast<std::ptrdiff_t>(done),
                              addresses.begin() + static_cast<std::ptrdiff_t>(done + batch));
        const HelperRun run = RunNetHelper(request);
        if (!run.ran || run.probes.size() != batch) {
            why = run.path.empty()      ? "no CAP_NET_RAW and no vantrel-nethelper"
                  : !run.barred.empty() ? run.path + ": " + run.barred
                                        : run.path + " could not probe";
            return done;
        }
        for (std::size_t i = 0; i < batch; ++i, ++done) {
            answers[done].method = ProbeMethod::ArpOnEveryLink;
            answers[done].answered = run.probes[i].kind == HelperAnswer::Answered;
            std::memcpy(answers[done].hwAddr, run.probes[i].hwAddr, sizeof answers[done].hwAddr);
            Trace(addresses[done], "ARP by " + run.path);
        }
    }
    return done;
}

}  // namespace

std::vector<ProbeAnswer> ProbeAddresses(const std::vector<in_addr>& addresses) {
    std::vector<ProbeAnswer> answers(addresses.size());
    if (addresses.empty()) return answers;
    const int direct = ArpProbe(addresses, answers);
    if (direct == 0) {
        for (const in_addr address : addresses) Trace(address, "ARP directly");
        return answers;
    }
    std::string why;
    std::size_t done = 0;
    if (direct == EPERM)
        done = ProbeByHelper(addresses, answers, why);
    else
        why = std::string("no packet socket (") + std::strerror(direct) + ")";
    // The kernel resolves one address at a time, each with its own wait.
    for (; done < addresses.size(); ++done) {
        Trace(addresses[done], why + ": the kernel's neighbour table");
        answers[done] = ProbeByKernelNeighbour(addresses[done]);
    }
    return answers;
}

ProbeAnswer ProbeAddress(in_addr address) { return ProbeAddresses({address})[0]; }

}  // namespace platform
