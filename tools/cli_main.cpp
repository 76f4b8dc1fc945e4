// vantrel-cli: the command-line front end, for scripts and machines without a display.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

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

    CLI11_PARSE(app, argc, argv);

    if (scan->parsed()) {
        static const std::map<std::string, uint8_t> kModes = {{"name", 0}, {"type", 1}, {"hw", 2}, {"ip", 3}};
        return RunScanCommand(json, kModes.at(sort));
    }
    return 0;
}
