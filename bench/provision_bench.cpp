// Provisioning a site: vantrel-cli provision inside the pc of a namespace LAN
// against cameras that each move to a new fixed address (and, with names, take
// a new name), timed against the floor of the waits the command cannot do
// without.
//   vantrel-bench-provision [--runs N] [--out FILE] [--cameras 10,50,100]
//                           [--kinds broadcast,http,mixed] [--names no,yes]
// Kinds: broadcast cameras, multicast DNS cameras assigned over HTTP, or half
// and half. Runs alternate between two plans (old addresses to new and back,
// with names two names that alternate too), so each run moves every camera,
// and the emulator moves its address on the camera host, where it is found
// again.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "bench_common.h"

namespace {

using bench::json;
using Clock = std::chrono::steady_clock;

// One scan (4 s), one round of probes for the whole plan (1 s), one flush
// before the broadcast assignments (0.5 s, only with broadcast rows), the
// settle wait (8 s), the scan after it (4 s).
double Floor(bool broadcastRows) { return 4.0 + 1.0 + (broadcastRows ? 0.5 : 0) + 8.0 + 4.0; }

// How many of `cameras` are broadcast ones; the rest answer multicast DNS only.
int BroadcastCameras(const std::string& kind, int cameras) {
    if (kind == "broadcast") return cameras;
    if (kind == "http") return 0;
    return cameras - cameras / 2;  // mixed
}

// "10.80.1.7" with 100 added to its third number: the plan's other address.
std::string Moved(const std::string& ip) {
    int a = 0, b = 0, c = 0, d = 0;
    std::sscanf(ip.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d);
    return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c + 100) + "." + std::to_string(d);
}

// The plan moving every camera to its moved address ("there") or back to the
// one it started with; with names, each camera is named `prefix` and its number.
std::string Plan(const std::vector<EmulatedCamera>& cameras, bool there, const std::string& prefix) {
    std::string text = "hwaddr,ip,subnet,gateway,name\n";
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const std::string name = prefix.empty() ? "" : prefix + std::to_string(i);
        text += cameras[i].hwAddr + "," + (there ? Moved(cameras[i].ip) : cameras[i].ip) + ",255.255.0.0,10.80.0.1," +
                name + "\n";
    }
    return text;
}

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> items;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');) items.push_back(item);
    return items;
}

// Rows of a run's report that did not move their camera and end "verified":
// "result" -> how many. A camera found at its planned address already would
// verify without a move: the figure would not be the one it claims.
std::map<std::string, int> Unverified(const json& rows) {
    std::map<std::string, int> results;
    for (const json& row : rows.is_array() ? rows : json::array()) {
        const json before = row.value("before", json());
        if (!row.value("verified", false))
            ++results[row.value("result", "?")];
        else if (!before.is_object() || before.value("ip", "") == row.value("planned", ""))
            ++results["verified without a move"];
    }
    return results;
}

// `runs` runs of vantrel-cli provision in the pc, the plans taken in turn
// from `run` on (which counts on): their times and the fewest rows of a run
// that moved their camera and verified it. What went wrong is told as `what`.
json Runs(bench::CameraLan& site, const std::string (&plans)[2], int cameras, double floor, int runs, int& run,
          const std::string& what) {
    std::vector<double> seconds, ratios;
    int verified = cameras;
    for (int k = 0; k < runs; ++k, ++run) {
        std::string report;
        const auto start = Clock::now();
        const int exit = site.lan.Run("pc", {VANTREL_CLI, "provision", plans[run % 2], "--json"}, &report);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        ratios.push_back(seconds.back() / floor);
        const json rows = json::parse(report, nullptr, false);
        const int listed = rows.is_array() ? static_cast<int>(rows.size()) : 0;
        const std::map<std::string, int> failed = Unverified(rows);
        int good = listed;
        for (const auto& [result, count] : failed) good -= count;
        verified = std::min(verified, good);
        if (exit != 0 || listed != cameras)
            std::cerr << what << ", run " << run << ": exit status " << exit << ", " << listed << " rows\n";
        for (const auto& [result, count] : failed) std::cerr << "  " << count << " x " << result << '\n';
    }
    return json{{"verified", verified}, {"seconds", bench::Spread(seconds)}, {"perFloor", bench::Spread(ratios)}};
}

struct Options {
    int runs = 5;
    std::string out;
    std::vector<int> sizes = {10, 50, 100};
    std::vector<std::string> kinds = {"broadcast", "http", "mixed"};
    std::vector<bool> names = {false, true};
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (a == "--runs")
            o.runs = std::stoi(value);
        else if (a == "--out")
            o.out = value;
        else if (a == "--cameras") {
            o.sizes.clear();
            for (const std::string& n : Items(value)) o.sizes.push_back(std::stoi(n));
        } else if (a == "--kinds") {
            o.kinds = Items(value);
            for (const std::string& k : o.kinds)
                if (k != "broadcast" && k != "http" && k != "mixed") return false;
        } else if (a == "--names") {
            o.names.clear();
            for (const std::string& n : Items(value)) {
                if (n != "no" && n != "yes") return false;
                o.names.push_back(n == "yes");
            }
        } else
            return false;
    }
    return o.runs > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::cerr << "usage: vantrel-bench-provision [--runs N] [--out FILE] [--cameras 10,50,100] "
                     "[--kinds broadcast,http,mixed] [--names no,yes]\n";
        return 2;
    }
    if (std::string why = TestLan::Unavailable(); !why.empty()) {
        std::cerr << "cannot build the test LAN: " << why << '\n';
        return 1;
    }
    bench::Results results(o.out);
    std::printf("%-9s %-5s %-7s %-8s %-26s %-7s %s\n", "kind", "names", "cameras", "verified",
                "seconds median (min-max)", "floor", "time / floor");
    int status = 0;
    for (const std::string& kind : o.kinds)
        for (const int cameras : o.sizes) {
            const int broadcast = BroadcastCameras(kind, cameras);
            bench::CameraLan site(broadcast, 1, bench::Answer::Range, cameras - broadcast, bench::Role::Provisioned);
            if (!site.Ready()) return 1;
            // One run count for the LAN: its cameras are where the last run left them.
            int run = 0;
            for (const bool names : o.names) {
                const std::string plans[2] = {site.lan.File("there.csv"), site.lan.File("back.csv")};
                std::ofstream(plans[0]) << Plan(site.cameras, true, names ? "North" : "");
                std::ofstream(plans[1]) << Plan(site.cameras, false, names ? "South" : "");
                const double floor = Floor(broadcast > 0);
                const std::string what = kind + (names ? " with names, " : ", ") + std::to_string(cameras) + " cameras";
                json figure = bench::Quietly([&] { return Runs(site, plans, cameras, floor, o.runs, run, what); });
                figure.update({{"figure", "provision"},
                               {"kind", kind},
                               {"names", names},
                               {"cameras", cameras},
                               {"broadcastRows", broadcast},
                               {"httpRows", cameras - broadcast},
                               {"floor", floor}});
                results.Write(figure);
                if (figure["verified"] != cameras) status = 1;
                std::printf("%-9s %-5s %-7d %-8d %-26s %-7.1f %s\n", kind.c_str(), names ? "yes" : "no", cameras,
                            figure["verified"].get<int>(), bench::Text(figure["seconds"], 1, 2).c_str(), floor,
                            bench::Text(figure["perFloor"]).c_str());
                std::fflush(stdout);
            }
        }
    return status;
}
