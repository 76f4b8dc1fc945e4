#pragma once
// vantrel-cli assign: one camera's IP settings, by the same rules and code as the window.
#include <functional>
#include <string>

struct AssignArguments {
    std::string hwAddr;
    bool dhcp = false;
    std::string ipAddr, subnet, gateway;
    bool reboot = false;
    std::string via;     // "drovik" or "mdns": the record of that protocol; empty: the broadcast one first
    bool force = false;  // assign even when another device answers at the new address
};

// camera_actions::AddressFaults of the fixed address arguments; empty with DHCP, whose texts
// (the camera's own) are known only after the scan.
std::string AssignArgumentFaults(const AssignArguments& arguments);

// Scans, assigns to the camera with that hardware address (its record found by
// the protocol `via` names, else its broadcast record), prints the
// result's text; returns the result code, or 10 when no such camera answered.
// A new fixed address is probed first: when a device answers there, prints the
// Assign IP dialog's duplicate question and returns 11, unless `force`.
// With DHCP, the camera's own texts fail the dialog's checks: returns what
// `refuse` returns for their messages, with nothing sent.
int RunAssignCommand(const AssignArguments& arguments, const std::function<int(const std::string&)>& refuse);
