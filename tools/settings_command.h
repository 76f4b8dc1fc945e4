#pragma once
// vantrel-cli get, set and choices: one camera's settings by the window's own
// settings access (UDP first, then HTTP). Messages go to standard error;
// each returns the exit status, 0 or 1.
#include <string>

struct SettingsTarget {
    std::string ip;  // dotted IPv4 address: UDP and the HTTP read (port 80)
    int port = 80;   // the web server of the writes and lists
};

int RunGetCommand(const SettingsTarget& target, const std::string& oid);
int RunSetCommand(const SettingsTarget& target, const std::string& oid, const std::string& value);
// `list` is "timezone" or "analog": the current value, then one choice a line.
int RunChoicesCommand(const SettingsTarget& target, const std::string& list);
