#include "settings_command.h"

#include <unistd.h>

#include <iostream>

#include "camera_settings.h"
#include "visible_text.h"

namespace {

// The settings access for `target`, its messages on standard error.
struct Access {
    char lastError[CCameraSettings::kLastError] = {};
    bool shown = false;
    explicit Access(const SettingsTarget& target)
        : settings(lastError, target.ip, target.ip + ":" + std::to_string(target.port),
                   [this](const char* text, const char*, bool) {
                       std::cerr << platform::VisibleMessage(text) << '\n';
                       shown = true;
                   }) {}
    CCameraSettings settings;
};

// A camera's value as printed: its bytes exact into a pipe or file (scripts
// compare and store them), visible on a terminal, which would obey its controls.
std::string Out(const std::string& value) {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal ? platform::VisibleText(value) : value;
}

int Printed() {
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace

int RunGetCommand(const SettingsTarget& target, const std::string& oid) {
    Access access(target);
    char value[256];
    if (!access.settings.GetCameraOid(oid.c_str(), value, sizeof value)) return 1;
    std::cout << Out(value) << '\n';
    return Printed();
}

int RunSetCommand(const SettingsTarget& target, const std::string& oid, const std::string& value) {
    Access access(target);
    return access.settings.SetCameraOid(oid.c_str(), value.c_str()) ? 0 : 1;
}

int RunChoicesCommand(const SettingsTarget& target, const std::string& list) {
    Access access(target);
    CCameraSettings::Choices choices;
    const auto which = list == "analog" ? CCameraSettings::ChoiceList::Analog : CCameraSettings::ChoiceList::Timezone;
    if (!access.settings.LoadChoices(which, choices)) {
        // Unusable lists (no quote, a status other than 200) show no box: say so here.
        if (!access.shown) std::cerr << "The camera offered no usable " << list << " list\n";
        return 1;
    }
    std::cout << Out(choices.current) << '\n';
    for (const std::string& item : choices.items) std::cout << Out(item) << '\n';
    return Printed();
}
