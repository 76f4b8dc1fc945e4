#pragma once
// Told of each camera record as a discovery accepts it, on the scan's worker
// thread, before the discovery ends: front ends show cameras as they answer.
#include <functional>

#include "camera_record.h"

using RecordSink = std::function<void(const CameraRecord&)>;
