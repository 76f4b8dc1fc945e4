#pragma once
// Reads the emulator's JSON config into a camera list.

#include "camera.h"

#include <string>
#include <string_view>
#include <vector>

namespace camsim {

struct CameraConfig {
    std::vector<Camera> cameras;
    std::string error;  // empty on success; otherwise says which field is wrong and why
    bool Ok() const { return error.empty(); }
};

// Parses the JSON text of a config. Never throws.
CameraConfig ParseCameraConfig(std::string_view jsonText);

// Reads and parses a config file; a read failure is reported like a bad field.
CameraConfig LoadCameraConfigFile(const std::string& path);

// Dotted-decimal text to an address; false (and `out` as it was) when it is none.
bool ParseIpv4(const std::string& text, Ipv4& out);

}  // namespace camsim
