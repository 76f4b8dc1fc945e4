// vantrel-cli: the command-line front end, for scripts and machines without a display.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "assign_command.h"
#include "discovery/scanner.h"
#include "record_json.h"

namespace {

int RunScanCommand(bool json, uint8_t sortMode) {
    CScanner scanner;
    scanner.sortMode = sortMode;
    scanner.Scan();
    scanner.Sort();
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (int i = 0; i < scanner.Count(); ++i) list.push_back(RecordToJson(scanner.RecordAt(i)));
        std::cout << list.dump(2) << '\n';
    } else {
        std::cout << "Camera Name\tType\tHardware Address\tIP Address\n";
        for (int i = 0; i < scanner.Count(); ++i) std::cout << RecordToRow(scanner.RecordAt(i)) << '\n';
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Vantrel command-line companion: finds the maker's cameras on the local network segments."};
    app.require_subcommand(1);

    CLI::App* scan = app.add_subcommand("scan", "Run one scan and list the cameras found");
    bool json = false;
    std::string sort = "ip";
    scan->add_flag("--json", json, "Print a JSON array with every field of each record");
    scan->add_option("--sort", sort, "Order of the list (ascending)")
        ->check(CLI::IsMember({"name", "type", "hw", "ip"}))
        ->capture_default_str();

    CLI::App* assign = app.add_subcommand("assign", "Give one camera new IP settings, found by a scan");
    AssignArguments arguments;
    assign->add_option("HWADDR", arguments.hwAddr, "Hardware address, as the list shows it (any case)")->required();
    CLI::Option* dhcp = assign->add_flag("--dhcp", arguments.dhcp, "Let the camera use DHCP");
    CLI::Option* ip = assign->add_option("--ip", arguments.ipAddr, "Fixed IP address");
    CLI::Option* subnet = assign->add_option("--subnet", arguments.subnet, "Subnet mask");
    CLI::Option* gateway = assign->add_option("--gateway", arguments.gateway, "Default gateway");
    for (CLI::Option* fixed : {ip, subnet, gateway}) {
        dhcp->excludes(fixed);
        for (CLI::Option* other : {ip, subnet, gateway})
            if (other != fixed) fixed->needs(other);
    }
    assign->add_flag("--reboot", arguments.reboot, "Restart the camera at once");
    assign->add_option("--via", arguments.via, "For a camera listed twice: the record found by this protocol")
        ->check(CLI::IsMember({"drovik", "mdns"}));
    assign->add_flag("--force", arguments.force,
                     "Assign even when another device answers at the new address (otherwise exit status 11)");

    CLI11_PARSE(app, argc, argv);

    if (assign->parsed()) {
        if (!arguments.dhcp && !*ip) return app.exit(CLI::RequiredError("--dhcp or --ip, --subnet and --gateway"));
        if (const std::string faults = AssignArgumentFaults(arguments); !faults.empty())
            return app.exit(CLI::ValidationError(faults));
        return RunAssignCommand(arguments);
    }

    if (scan->parsed()) {
        static const std::map<std::string, uint8_t> kModes = {{"name", 0}, {"type", 1}, {"hw", 2}, {"ip", 3}};
        return RunScanCommand(json, kModes.at(sort));
    }
    return 0;
}
