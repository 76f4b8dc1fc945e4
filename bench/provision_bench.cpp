// Provisioning a site: vantrel-cli provision inside the pc of a namespace LAN
// against broadcast cameras that each move to a new fixed address, timed
// against the floor of the waits the command cannot do without.
//   vantrel-bench-provision [--runs N] [--out FILE] [--cameras 10,50,100]
// Runs alternate between two plans (old addresses to new and back), so each
// run moves every camera.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "bench_common.h"

namespace {

using bench::json;
using Clock = std::chrono::steady_clock;

// One scan (4.5 s), one round of probes (1 s), one flush before the
// assignments (0.5 s), the settle wait (8 s), the scan after it (4.5 s).
constexpr double kFloor = 4.5 + 1.0 + 0.5 + 8.0 + 4.5;

// The plan moving bench::CameraLan's broadcast cameras (10.80.1.x, one link)
// to 10.80.`to`.x, or back when `to` is 1.
std::string Plan(int cameras, int to) {
    std::string text = "hwaddr,ip,subnet,gateway,name\n";
    for (int i = 0; i < cameras; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "02:e5:a1:%02x:%02x:%02x,10.80.%d.%d,255.255.0.0,10.80.0.1,\n", i >> 16,
                      (i >> 8) & 0xff, (i * 37) & 0xff, to + (i >> 8), i & 0xff);
        text += line;
    }
    return text;
}

std::vector<int> Numbers(const std::string& list) {
    std::vector<int> numbers;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');) numbers.push_back(std::stoi(item));
    return numbers;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string out;
    std::vector<int> sizes = {10, 50, 100};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::stoi(argv[++i]);
        else if (a == "--out" && i + 1 < argc)
            out = argv[++i];
        else if (a == "--cameras" && i + 1 < argc)
            sizes = Numbers(argv[++i]);
        else {
            std::cerr << "usage: vantrel-bench-provision [--runs N] [--out FILE] [--cameras 10,50,100]\n";
            return 2;
        }
    }
    bench::Results results(out);
    std::printf("%-8s %-8s %-30s %s\n", "cameras", "verified", "seconds median (min-max)", "time / floor 18.5 s");
    for (const int cameras : sizes) {
        bench::CameraLan site(cameras, 1, bench::Answer::Range);
        if (!site.Ready()) return 1;
        const std::string plans[2] = {site.lan.File("there.csv"), site.lan.File("back.csv")};
        std::ofstream(plans[0]) << Plan(cameras, 2);
        std::ofstream(plans[1]) << Plan(cameras, 1);
        int run = 0;
        json figure = bench::Quietly([&] {
            std::vector<double> seconds, ratios;
            int verified = cameras;
            for (int k = 0; k < runs; ++k, ++run) {
                std::string report;
                const auto start = Clock::now();
                const int status = site.lan.Run("pc", {VANTREL_CLI, "provision", plans[run % 2], "--json"}, &report);
                seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
                ratios.push_back(seconds.back() / kFloor);
                const json rows = json::parse(report, nullptr, false);
                int good = 0;
                for (const json& row : rows.is_array() ? rows : json::array()) good += row.value("verified", false);
                verified = std::min(verified, status == 0 ? good : 0);
            }
            return json{
                {"verified", verified}, {"seconds", bench::Spread(seconds)}, {"perFloor", bench::Spread(ratios)}};
        });
        figure.update({{"figure", "provision"}, {"cameras", cameras}, {"floor", kFloor}});
        results.Write(figure);
        std::printf("%-8d %-8d %-30s %s\n", cameras, figure["verified"].get<int>(),
                    bench::Text(figure["seconds"], 1, 2).c_str(), bench::Text(figure["perFloor"]).c_str());
        std::fflush(stdout);
    }
    return 0;
}
