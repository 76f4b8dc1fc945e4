#include "camsim_config.h"

#include <fstream>

bool WriteCamsimConfig(const std::string& path, const nlohmann::json& cameras) {
    std::ofstream out(path);
    out << nlohmann::json{{"cameras", cameras}}.dump(2) << '\n';
    return static_cast<bool>(out);
}
