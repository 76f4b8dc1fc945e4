#pragma once
// The duplicate-address probes of a plan, in one round: every changed fixed
// address is probed at once and the plan waits once for all of them.
#include <optional>
#include <vector>

#include "address_probe.h"
#include "camera_record.h"
#include "provision_plan.h"

// `cameras[i]` is what the scan found for rows[i], or null. An answer for
// each row whose camera is to get a fixed address other than its own; none
// for the others.
std::vector<std::optional<platform::ProbeAnswer>> ProbePlan(const std::vector<PlanRow>& rows,
                                                            const std::vector<const CameraRecord*>& cameras);
