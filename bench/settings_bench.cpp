// Settings exchanges with one camera against vantrel-camsim on loopback
// (127.0.0.180 and .181, port 80 for HTTP: root), through CCameraSettings as
// both front ends use it.
//   vantrel-bench-settings [--runs N] [--out FILE]
#include <chrono>
#include <cstring>
#include <functional>

#include "bench_common.h"
#include "camera_model.h"
#include "camera_settings.h"

namespace {

using bench::json;
using Clock = std::chrono::steady_clock;

// The UDP construction's version wait: what a camera without the UDP service costs before HTTP.
constexpr double kVersionWait = 0.4;

const char kBoth[] = "127.0.0.180";      // UDP generation 4 and a web server
const char kHttpOnly[] = "127.0.0.181";  // a web server only

json Camera(const char* ip, bool udp) {
    return {{"name", std::string("Set") + (ip + std::strlen(ip) - 3)},
            {"hwAddr", udp ? "02:e5:a1:00:0c:01" : "02:e5:a1:00:0c:02"},
            {"ip", ip},
            {"drovik", false},
            {"zorvo", udp},
            {"zorvoVersion", 4},
            {"http", true},
            {"oids", {{"2.17", "CET"}}},
            {"httpLists", {{"2.17", "zones = 'GMT,CET,Pacific/Auckland,EST5EDT'"}}}};
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::stoi(argv[++i]);
        else if (a == "--out" && i + 1 < argc)
            out = argv[++i];
        else {
            std::cerr << "usage: vantrel-bench-settings [--runs N] [--out FILE]\n";
            return 2;
        }
    }
    auto camsim = StartCamsim(json::array({Camera(kBoth, true), Camera(kHttpOnly, false)}), nullptr, {}, 600);
    if (!camsim) {
        std::cerr << "vantrel-camsim did not start (HTTP on port 80 needs root)\n";
        return 1;
    }
    char lastError[CCameraSettings::kLastError] = {};
    std::string shown;
    auto at = [&](const char* ip) {
        return CCameraSettings(lastError, ip, std::string(ip) + ":80",
                               [&](const char* text, const char*, bool) { shown += text; });
    };
    auto timezones = [&](const char* ip) {
        CCameraSettings::Choices choices;
        return at(ip).LoadChoices(CCameraSettings::ChoiceList::Timezone, choices) && choices.items.size() == 4;
    };
    char value[64];
    struct Case {
        const char* name;
        double waits;  // the protocol's own waits; 0: none, the time stands alone
        std::function<bool()> exchange;
    };
    const Case cases[] = {
        {"UDP read", 0,
         [&] {
             return at(kBoth).GetCameraOid(camera_model::kOidTimezone, value, sizeof value) &&
                    !std::strcmp(value, "CET");
         }},
        {"UDP write (generation 4)", 0, [&] { return at(kBoth).SetCameraOid(camera_model::kOidTimezone, "CET"); }},
        {"HTTP read after a silent UDP port", kVersionWait,
         [&] {
             return at(kHttpOnly).GetCameraOid(camera_model::kOidTimezone, value, sizeof value) &&
                    !std::strcmp(value, "CET");
         }},
        {"list (LoadChoices): UDP read, HTTP list", 0, [&] { return timezones(kBoth); }},
        {"list (LoadChoices) after a silent UDP port", kVersionWait, [&] { return timezones(kHttpOnly); }},
    };
    bench::Results results(out);
    std::printf("%-44s %-30s %s\n", "exchange", "ms median (min-max)", "time / own waits");
    for (const Case& c : cases) {
        json figure = bench::Quietly([&] {
            std::vector<double> seconds, ratios;
            int ok = 0;
            for (int run = 0; run < runs; ++run) {
                const auto start = Clock::now();
                ok += c.exchange();
                seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
                if (c.waits > 0) ratios.push_back(seconds.back() / c.waits);
            }
            return json{{"ok", ok}, {"seconds", bench::Spread(seconds)}, {"perWaits", bench::Spread(ratios)}};
        });
        figure.update({{"figure", "settings"}, {"exchange", c.name}, {"waits", c.waits}});
        results.Write(figure);
        std::printf("%-44s %-30s %s%s\n", c.name, bench::Text(figure["seconds"], 1000, 2).c_str(),
                    bench::Text(figure["perWaits"]).c_str(), figure["ok"] == runs ? "" : ("  FAILED " + shown).c_str());
        std::fflush(stdout);
    }
    camsim.reset();
    return 0;
}
