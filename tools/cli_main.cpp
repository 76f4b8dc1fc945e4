// vantrel-cli: the command-line front end, for scripts and machines without a display.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "assign_command.h"
#include "camera_actions.h"
#include "scanner.h"
#include "exit_signals.h"
#include "help_all_formatter.h"
#include "routes.h"
#include "trace_sink.h"
#include "provision_command.h"
#include "provision_plan.h"
#include "record_json.h"
#include "scan_notes.h"
#include "settings_command.h"

namespace {

// --stream: one JSON object a line, written as each camera is accepted.
int RunStreamCommand() {
    CScanner scanner;
    scanner.onRecord = [](const CameraRecord& record) { std::cout << RecordToJson(record).dump() << std::endl; };
    scanner.Scan();
    PrintScanNotes(scanner);
    return std::cout ? 0 : 1;
}

// Each camera once, as provision would take it: a camera listed by both
// protocols by its broadcast record.
void PrintCsv(const CScanner& scanner) {
    std::cout << kCsvHeading << '\n';
    for (int i = 0; i < scanner.Count(); ++i)
        if (camera_actions::FindCamera(scanner, scanner.RecordAt(i).hwAddr) == i)
            std::cout << RecordToCsv(scanner.RecordAt(i)) << '\n';
}

// --json prints the array alone, as callers have always read it; --json-report
// wraps it in an object that also says how many cameras were left out.
int RunScanCommand(bool json, bool report, bool csv, uint8_t sortMode) {
    CScanner scanner;
    scanner.sortMode = sortMode;
    scanner.Scan();
    PrintScanNotes(scanner);
    scanner.Sort();
    if (csv) {
        PrintCsv(scanner);
    } else if (json || report) {
        nlohmann::json list = nlohmann::json::array();
        for (int i = 0; i < scanner.Count(); ++i) list.push_back(RecordToJson(scanner.RecordAt(i)));
        if (report) {
            const nlohmann::json object = {{"cameras", list}, {"notListed", scanner.Outcome().notListed}};
            std::cout << object.dump(2) << '\n';
        } else {
            std::cout << list.dump(2) << '\n';
        }
    } else {
        std::cout << "Camera Name\tType\tHardware Address\tIP Address\n";
        for (int i = 0; i < scanner.Count(); ++i) std::cout << RecordToRow(scanner.RecordAt(i)) << '\n';
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace

namespace {

constexpr int kUsageError = 2;  // every argument error, whatever the parser's own code

int Run(int argc, char** argv) {
    CLI::App app{"Vantrel command-line companion: finds the maker's cameras on the local network segments.",
                 "vantrel-cli"};
    // Every command's arguments at once: the manual page is made from it. The
    // commands take the formatter from here; the flag is the top level's only.
    app.formatter(std::make_shared<HelpAllFormatter>());
    app.set_version_flag("--version", "vantrel-cli " VANTREL_VERSION);
    app.require_subcommand(1);
    // --trace before or after the command: the commands pass it up.
    app.fallthrough();
    bool trace = false;
    app.add_flag("--trace", trace, "Write the trace lines (otherwise sent to the system log) to standard error");
    // Prints the parser's message (or the help it asks for) and gives the exit status.
    const auto usage = [&app](const CLI::Error& error) { return app.exit(error) == 0 ? 0 : kUsageError; };

    CLI::App* scan = app.add_subcommand("scan", "Run one scan and list the cameras found");
    bool json = false;
    std::string sort = "ip";
    CLI::Option* jsonFlag = scan->add_flag("--json", json, "Print a JSON array with every field of each record");
    bool stream = false;
    CLI::Option* streamFlag =
        scan->add_flag("--stream", stream,
                       "Print each camera as it answers: one JSON object a line (the fields of --json), unsorted")
            ->excludes(jsonFlag);
    bool report = false;
    CLI::Option* reportFlag =
        scan->add_flag("--json-report", report,
                       "Print a JSON object: \"cameras\", the array of --json, and \"notListed\", how many cameras "
                       "answered past the limit of " +
                           std::to_string(kCameraLimit) + " and are not listed")
            ->excludes(jsonFlag)
            ->excludes(streamFlag);
    bool csv = false;
    scan->add_flag("--csv", csv, "Print the list as a provisioning plan: " + std::string(kCsvHeading))
        ->excludes(jsonFlag)
        ->excludes(streamFlag)
        ->excludes(reportFlag);
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

    CLI::App* provision =
        app.add_subcommand("provision", "Give many cameras their address, mask, gateway and name from one plan");
    std::string planPath;
    ProvisionOptions provisionOptions;
    // Not checked here: an unreadable plan is the command's own refusal (exit status 2).
    provision
        ->add_option("PLAN", planPath,
                     "CSV file: hwaddr,ip,subnet,gateway,name (ip may be dhcp); - reads standard input")
        ->required();
    provision->add_flag("--reboot", provisionOptions.reboot, "Restart each assigned camera at once");
    provision->add_flag("--dry-run", provisionOptions.dryRun,
                        "Scan and probe, print what would be done, send nothing that changes a camera");
    provision->add_flag("--json", provisionOptions.json, "Print a JSON array, one object a row");

    // Settings of one camera by its address; the OID as the camera names it ("2.17").
    SettingsTarget target;
    std::string oid, value, list;
    auto addTarget = [&](CLI::App* command) {
        command->add_option("IP", target.ip, "The camera's IPv4 address")->required()->check(CLI::ValidIPV4);
    };
    auto addPort = [&](CLI::App* command) {
        command->add_option("--port", target.port, "The camera's web server port (writes and lists)")
            ->check(CLI::Range(1, 65535))
            ->capture_default_str();
    };
    auto addOid = [&](CLI::App* command) {
        command->add_option("OID", oid, "Dotted numeric OID, e.g. 2.17")
            ->required()
            ->check(CLI::Validator(
                [](std::string& text) {
                    const bool ok = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
                    return ok ? std::string() : "an OID is digits and dots, e.g. 2.17";
                },
                "OID"));
    };
    CLI::App* get = app.add_subcommand("get", "Print one setting of a camera (UDP, else HTTP)");
    addTarget(get);
    addOid(get);
    addPort(get);
    CLI::App* set = app.add_subcommand("set", "Write one setting of a camera (UDP, else HTTP)");
    addTarget(set);
    addOid(set);
    set->add_option("VALUE", value, "The value, as the camera should store it")->required();
    addPort(set);
    CLI::App* choices = app.add_subcommand(
        "choices", "Print a camera's current timezone or analog output, then the choices it offers, one a line");
    addTarget(choices);
    choices->add_option("LIST", list, "timezone or analog")->required()->check(CLI::IsMember({"timezone", "analog"}));
    addPort(choices);

    app.set_help_all_flag("--help-all", "Print the help of every command and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return usage(error);
    }
    if (trace) platform::SetTraceSink([](std::string_view line) { std::cerr << line << std::endl; });
    // provision takes the three signals itself, between cameras (and after its
    // last step lets them wait for the end); every other command ends on one
    // at once, its routes removed first.
    if (provision->parsed())
        platform::BlockExitSignals();
    else
        platform::EndOnExitSignalsWithoutRoutes();
    // A reader that went away is a failed write, not the end of the run: the routes still go.
    signal(SIGPIPE, SIG_IGN);

    if (get->parsed()) return RunGetCommand(target, oid);
    if (set->parsed()) return RunSetCommand(target, oid, value);
    if (choices->parsed()) return RunChoicesCommand(target, list);

    if (provision->parsed()) return RunProvisionPlan(planPath, provisionOptions);

    if (assign->parsed()) {
        if (!arguments.dhcp && !*ip) return usage(CLI::RequiredError("--dhcp or --ip, --subnet and --gateway"));
        if (const std::string faults = AssignArgumentFaults(arguments); !faults.empty())
            return usage(CLI::ValidationError(faults));
        return RunAssignCommand(arguments,
                                [&](const std::string& faults) { return usage(CLI::ValidationError(faults)); });
    }

    if (scan->parsed()) {
        static const std::map<std::string, uint8_t> kModes = {{"name", CScanner::kByName},
                                                              {"type", CScanner::kByProductName},
                                                              {"hw", CScanner::kByHwAddrText},
                                                              {"ip", CScanner::kByIpAddr}};
        if (stream) return RunStreamCommand();
        return RunScanCommand(json, report, csv, kModes.at(sort));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int status = Run(argc, argv);
    // A scan's link-local route and anything else this run added go with it.
    platform::ReleaseAllRoutes();
    return status;
}
