#include "plan_probes.h"

#include <arpa/inet.h>

#include "camera_actions.h"

std::vector<std::optional<platform::ProbeAnswer>> ProbePlan(const std::vector<PlanRow>& rows,
                                                            const std::vector<const CameraRecord*>& cameras) {
    std::vector<std::size_t> due;
    std::vector<in_addr> addresses;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CameraRecord* camera = cameras[i];
        if (!camera || AtPlannedAddress(*camera, rows[i]) ||
            !camera_actions::ProbeDue(*camera, rows[i].dhcp, rows[i].ip))
            continue;
        in_addr address{};
        address.s_addr = inet_addr(rows[i].ip.c_str());
        due.push_back(i);
        addresses.push_back(address);
    }
    std::vector<std::optional<platform::ProbeAnswer>> answers(rows.size());
    if (addresses.empty()) return answers;
    const std::vector<platform::ProbeAnswer> probed = camera_actions::ProbeNewAddresses(addresses);
    for (std::size_t k = 0; k < due.size(); ++k) answers[due[k]] = probed[k];
    return answers;
}
