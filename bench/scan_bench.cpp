// Scan speed and capacity: emulated cameras in namespace LANs, scanned by the
// real scanner from the pc (each scan a child process inside the pc's
// namespace), and vantrel-cli's first streamed camera and peak memory.
//   vantrel-bench-scan [--runs N] [--out FILE] [--cameras 1,10,100,500] [--interfaces 1,2,4,8]
//                      [--unprivileged] [--rmem-max BYTES] [broadcast] [mdns] [first] [memory] [site]
// Without figure names it takes them all. `first` streams from a broadcast
// and from a multicast DNS LAN, of 1 and 500 cameras unless --cameras says
// otherwise (as for `memory`). --unprivileged scans as user 65534;
// --rmem-max sets net.core.rmem_max for the run (restored afterwards), e.g.
// 212992 to measure a stock Debian limit.
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <sstream>
#include <string_view>

#include "bench_common.h"
#include "drovik_wire.h"
#include "mdns_wire.h"
#include "scanner.h"
#include "trace_capture.h"

namespace {

using bench::json;
using bench::Spread;
using bench::Text;
using namespace std::chrono_literals;

// The protocols' own waits with every interface suitable: 4 broadcast passes
// of a 0.5 s flush and a 0.5 s collection quiet; the multicast DNS query and
// its 0.5 s quiet run beside them.
constexpr double kFloor = 4.0;

// One scan in this process (already inside the pc namespace): one JSON line.
int ChildScan() {
    TraceCapture trace;
    CScanner scanner;
    const auto start = std::chrono::steady_clock::now();
    scanner.Scan();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    long buffer = 0;
    int queried = 0;
    for (const std::string& line : trace.Lines()) {
        std::sscanf(line.c_str(), "Drovik: receive buffer %ld bytes", &buffer);
        if (line.starts_with("Gathering on iface")) ++queried;
    }
    // The protocols' own waits: a 0.5 s flush and a 0.5 s collection quiet
    // for each of the 4 broadcast passes, however many cameras answer; then
    // one 0.5 s quiet for all the interfaces multicast DNS queried at once.
    const double waits = 4 * 1.0 + (queried > 0 ? 0.5 : 0);
    std::cout << json{{"listed", scanner.Count()}, {"seconds", seconds}, {"waits", waits},
                      {"buffer", buffer},          {"queried", queried}, {"notListed", scanner.Outcome().notListed}}
                     .dump()
              << std::endl;
    return 0;
}

double RealNow() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// The camera's hardware address (lower-case hex) in a reply of `protocol` to
// the pc, given as its UDP datagram; empty when it is none. A broadcast reply
// carries it at a fixed place, a multicast DNS answer in its TXT "hw addr=".
std::string ReplyHwAddr(const uint8_t* udp, std::size_t length, bench::Answer protocol) {
    const unsigned port = (udp[2] << 8) | udp[3];
    if (protocol != bench::Answer::Mdns) {
        if (port != drovik::kReplyPort || length < 8 + drovik::kHwAddrAt + 6) return {};
        char hw[13];
        const uint8_t* a = udp + 8 + drovik::kHwAddrAt;
        std::snprintf(hw, sizeof hw, "%02x%02x%02x%02x%02x%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
        return hw;
    }
    constexpr std::string_view kKey = "hw addr=";
    const std::string_view payload(reinterpret_cast<const char*>(udp) + 8, length - 8);
    const std::size_t at = payload.find(kKey);
    if (port != mdns::kPort || at == std::string_view::npos || payload.size() < at + kKey.size() + 12) return {};
    std::string hw(payload.substr(at + kKey.size(), 12));
    for (char& c : hw) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hw;
}

// The replies of `protocol` reaching `ifname`, each camera's first with the
// kernel's time of arrival. A packet socket: broadcast replies are unicast to
// the scanner's port, which a second UDP socket there would not be given.
class ReplyWatch {
public:
    ReplyWatch(const char* ifname, bench::Answer protocol) : protocol_(protocol) {
        fd_ = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP));
        sockaddr_ll at{};
        at.sll_family = AF_PACKET;
        at.sll_protocol = htons(ETH_P_IP);
        at.sll_ifindex = static_cast<int>(if_nametoindex(ifname));
        const int on = 1, room = 8 << 20;
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
              setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0 &&
              setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) == 0;
        if (ok_) thread_ = std::thread([this] { Listen(); });
    }
    ~ReplyWatch() {
        Stop();
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return ok_; }
    // Ends listening; then Arrivals() is complete.
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // Hardware address as lower-case hex -> realtime seconds of its first reply.
    const std::map<std::string, double>& Arrivals() const { return arrivals_; }

private:
    void Listen() {
        uint8_t packet[2048];
        alignas(cmsghdr) char control[256];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            iovec data{packet, sizeof packet};
            msghdr m{};
            m.msg_iov = &data;
            m.msg_iovlen = 1;
            m.msg_control = control;
            m.msg_controllen = sizeof control;
            const ssize_t n = recvmsg(fd_, &m, MSG_DONTWAIT);
            if (n < 20 || (packet[0] >> 4) != 4 || packet[9] != IPPROTO_UDP) continue;
            const std::size_t ihl = (packet[0] & 15u) * 4u;
            if (static_cast<std::size_t>(n) < ihl + 8) continue;
            const std::string hw = ReplyHwAddr(packet + ihl, static_cast<std::size_t>(n) - ihl, protocol_);
            if (hw.empty()) continue;
            double at = RealNow();
            for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec t;
                    std::memcpy(&t, CMSG_DATA(c), sizeof t);
                    at = static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
                }
            arrivals_.emplace(hw, at);  // the first reply of each camera stays
        }
    }
    bench::Answer protocol_;
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::map<std::string, double> arrivals_;
};

// Starts argv with standard output on a pipe; its pid, or -1.
pid_t Spawn(const std::vector<const char*>& argv, int& readEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const char* a : argv) args.push_back(const_cast<char*>(a));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    readEnd = fds[0];
    return pid;
}

// vantrel-cli scan --stream from inside the pc: when its first line came, and
// how long after each camera's reply of `protocol` reached `ifname` its line
// was printed.
int ChildFirst(const char* ifname, bench::Answer protocol) {
    ReplyWatch watch(ifname, protocol);
    if (!watch.Ok()) {
        std::cout << json{{"error", std::string("packet socket: ") + std::strerror(errno)}}.dump() << std::endl;
        return 1;
    }
    const double start = RealNow();
    int out = -1;
    const pid_t pid = Spawn({VANTREL_CLI, "scan", "--stream"}, out);
    if (pid < 0) return 1;
    std::vector<std::pair<std::string, double>> lines;  // hardware address, when its line was read
    std::string pending;
    char buffer[65536];
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;) {
        const double at = RealNow();
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const json record = json::parse(pending.substr(0, end), nullptr, false);
            lines.emplace_back(record.is_object() ? record.value("hwAddr", "") : "", at);
        }
    }
    close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    watch.Stop();
    std::vector<double> lags;
    for (const auto& [hw, at] : lines)
        if (auto arrival = watch.Arrivals().find(hw); arrival != watch.Arrivals().end())
            lags.push_back(at - arrival->second);
    json result = {{"lines", lines.size()}, {"matched", lags.size()}, {"status", status}};
    if (!lines.empty()) result["firstLine"] = lines.front().second - start;
    if (!lags.empty() && watch.Arrivals().count(lines.front().first)) {
        result["firstLag"] = lags.front();
        result["medianLag"] = bench::Median(lags);
        result["maxLag"] = *std::max_element(lags.begin(), lags.end());
    }
    std::cout << result.dump() << std::endl;
    return 0;
}

// Runs argv to its end: its peak resident memory and the lines it printed.
int ChildRss(const std::vector<const char*>& argv) {
    int out = -1;
    const pid_t pid = Spawn(argv, out);
    if (pid < 0) return 1;
    long lines = 0;
    char buffer[65536];
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;) lines += std::count(buffer, buffer + n, '\n');
    close(out);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::cout << json{{"maxRssKb", usage.ru_maxrss}, {"lines", lines}, {"status", status}}.dump() << std::endl;
    return 0;
}

struct Options {
    int runs = 5;
    std::vector<int> cameras = {1, 10, 100, 500};
    std::vector<int> interfaces = {1, 2, 4, 8};
    bool camerasGiven = false;  // else the streaming and memory figures take 1 and 500
    bool unprivileged = false;
    std::string out;
};

// Runs this program with `args` in the pc `runs` times; the JSON lines it printed.
std::vector<json> InPc(bench::CameraLan& lan, const std::vector<std::string>& args, int runs, bool unprivileged) {
    const std::string program = unprivileged ? lan.lan.Executable(bench::Self()) : bench::Self();
    std::vector<json> lines;
    for (int run = 1; run <= runs; ++run) {
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out;
        lan.lan.Run("pc", argv, &out, unprivileged);
        json r = json::parse(out, nullptr, false);
        if (r.is_discarded() || r.contains("error"))
            std::cerr << "run " << run << " failed: " << out << '\n';
        else
            lines.push_back(r);
    }
    return lines;
}

std::vector<double> Field(const std::vector<json>& lines, const char* key) {
    std::vector<double> values;
    for (const json& r : lines)
        if (r.contains(key)) values.push_back(r[key].get<double>());
    return values;
}

// Figure 1: one scan's time against cameras and interfaces.
void Discovery(bench::Results& results, const Options& o, bool broadcast, bool mdns) {
    std::printf("%-9s %-6s %-7s %-6s %-8s %-26s %-24s %s\n", "protocol", "answer", "cameras", "links", "listed",
                "seconds median (min-max)", "time/floor 4.0 s", "time/own waits");
    struct Case {
        bench::Answer answer;
        int cameras, interfaces;
    };
    std::vector<Case> cases;
    if (broadcast)
        for (bench::Answer a : {bench::Answer::Range, bench::Answer::Every})
            for (int c : o.cameras) cases.push_back({a, c, 1});
    if (mdns)
        for (int c : o.cameras)
            for (int k : o.interfaces) cases.push_back({bench::Answer::Mdns, c, k});
    for (const Case& c : cases) {
        bench::CameraLan lan(c.cameras, c.interfaces, c.answer);
        if (!lan.Ready()) continue;
        const char* answer = c.answer == bench::Answer::Mdns    ? "-"
                             : c.answer == bench::Answer::Every ? "every"
                                                                : "range";
        json figure = bench::Quietly([&] {
            const std::vector<json> runs = InPc(lan, {"--child"}, o.runs, o.unprivileged);
            std::vector<double> seconds = Field(runs, "seconds"), waits = Field(runs, "waits"), perFloor, perWaits;
            for (std::size_t i = 0; i < seconds.size(); ++i) {
                perFloor.push_back(seconds[i] / kFloor);
                perWaits.push_back(seconds[i] / waits[i]);
            }
            return json{{"listed", Field(runs, "listed")}, {"seconds", Spread(seconds)},
                        {"waits", bench::Median(waits)},   {"perFloor", Spread(perFloor)},
                        {"perWaits", Spread(perWaits)},    {"buffer", bench::Median(Field(runs, "buffer"))}};
        });
        figure.update({{"figure", "discovery"},
                       {"protocol", c.answer == bench::Answer::Mdns ? "mdns" : "broadcast"},
                       {"answer", answer},
                       {"cameras", c.cameras},
                       {"interfaces", c.interfaces},
                       {"layout", "each link its own LAN, cameras spread round-robin"},
                       {"user", o.unprivileged ? "65534" : "root"}});
        results.Write(figure);
        std::ostringstream listed;
        for (const json& n : figure["listed"]) listed << (listed.tellp() ? "," : "") << n.get<int>();
        std::printf("%-9s %-6s %-7d %-6d %-8s %-26s %-24s %s\n", figure["protocol"].get<std::string>().c_str(), answer,
                    c.cameras, c.interfaces, listed.str().substr(0, 8).c_str(), Text(figure["seconds"]).c_str(),
                    Text(figure["perFloor"]).c_str(), Text(figure["perWaits"]).c_str());
        std::fflush(stdout);
    }
}

// Figure 2a: vantrel-cli scan --stream's first line, and each line's lag
// after its camera's reply, on a LAN whose cameras answer as `answer` says.
void First(bench::Results& results, const Options& o, bench::CameraLan& lan, int cameras, bench::Answer answer) {
    const bool mdns = answer == bench::Answer::Mdns;
    json figure = bench::Quietly([&] {
        const std::vector<json> runs = InPc(lan, {"--child-first", "eth0", mdns ? "mdns" : "broadcast"}, o.runs, false);
        return json{{"lines", Field(runs, "lines")},
                    {"matched", Field(runs, "matched")},
                    {"firstLine", Spread(Field(runs, "firstLine"))},
                    {"firstLag", Spread(Field(runs, "firstLag"))},
                    {"medianLag", Spread(Field(runs, "medianLag"))},
                    {"maxLag", Spread(Field(runs, "maxLag"))}};
    });
    figure.update({{"figure", "first"},
                   {"program", "vantrel-cli scan --stream"},
                   {"protocol", mdns ? "mdns" : "broadcast"},
                   {"cameras", cameras},
                   {"answer", mdns ? "-" : "range"}});
    results.Write(figure);
    std::printf(
        "stream, %-9s %3d cameras: first line %s ms after start, %s ms after its reply; every line: "
        "median lag %s ms, greatest %s ms\n",
        mdns ? "mdns," : "broadcast,", cameras, Text(figure["firstLine"], 1000, 1).c_str(),
        Text(figure["firstLag"], 1000, 2).c_str(), Text(figure["medianLag"], 1000, 2).c_str(),
        Text(figure["maxLag"], 1000, 2).c_str());
}

// Figures 2a and 4 (vantrel-cli): the first streamed camera, by either
// protocol, and peak memory (on the broadcast LAN).
void Cli(bench::Results& results, const Options& o, bool first, bool memory) {
    for (int cameras : o.camerasGiven ? o.cameras : std::vector<int>{1, 500})
        for (bench::Answer answer : {bench::Answer::Range, bench::Answer::Mdns}) {
            const bool mdns = answer == bench::Answer::Mdns;
            if (mdns && !first) continue;
            bench::CameraLan lan(cameras, 1, answer);
            if (!lan.Ready()) continue;
            if (first) First(results, o, lan, cameras, answer);
            if (memory && !mdns) {
                json figure = bench::Quietly([&] {
                    const std::vector<json> runs = InPc(lan, {"--child-rss", VANTREL_CLI, "scan"}, o.runs, false);
                    std::vector<double> listed;
                    for (double lines : Field(runs, "lines")) listed.push_back(lines - 1);  // less the heading
                    return json{{"listed", listed}, {"maxRssKb", Spread(Field(runs, "maxRssKb"))}};
                });
                figure.update({{"figure", "memory"}, {"program", "vantrel-cli scan"}, {"cameras", cameras}});
                results.Write(figure);
                std::printf("vantrel-cli scan, %3d cameras: peak resident memory %s KiB\n", cameras,
                            Text(figure["maxRssKb"], 1, 0).c_str());
            }
            std::fflush(stdout);
        }
}

// Sites past the old limit of 500: N broadcast cameras (range mode) and 200
// multicast DNS cameras on one LAN; the scan's time and what it listed, and
// vantrel-cli scan's peak memory on the same LAN.
void Site(bench::Results& results, const Options& o) {
    constexpr int kMdns = 200;
    for (int cameras : {500, 1000, 2000}) {
        bench::CameraLan lan(cameras, 1, bench::Answer::Range, kMdns);
        if (!lan.Ready()) continue;
        json figure = bench::Quietly([&] {
            const std::vector<json> runs = InPc(lan, {"--child"}, o.runs, o.unprivileged);
            std::vector<double> seconds = Field(runs, "seconds"), perFloor;
            for (const double s : seconds) perFloor.push_back(s / kFloor);
            const std::vector<json> rss = InPc(lan, {"--child-rss", VANTREL_CLI, "scan"}, o.runs, false);
            return json{{"listed", Field(runs, "listed")},
                        {"notListed", Field(runs, "notListed")},
                        {"seconds", Spread(seconds)},
                        {"perFloor", Spread(perFloor)},
                        {"cliMaxRssKb", Spread(Field(rss, "maxRssKb"))}};
        });
        figure.update({{"figure", "site"},
                       {"broadcast", cameras},
                       {"mdns", kMdns},
                       {"answer", "range"},
                       {"user", o.unprivileged ? "65534" : "root"}});
        results.Write(figure);
        std::ostringstream listed;
        for (const json& n : figure["listed"]) listed << (listed.tellp() ? "," : "") << n.get<int>();
        std::printf("site %4d broadcast + %d mDNS: listed %s, %s s, time/floor %s, vantrel-cli peak %s KiB\n", cameras,
                    kMdns, listed.str().c_str(), Text(figure["seconds"]).c_str(), Text(figure["perFloor"]).c_str(),
                    Text(figure["cliMaxRssKb"], 1, 0).c_str());
        std::fflush(stdout);
    }
}

std::string ReadRmemMax() {
    std::ifstream in("/proc/sys/net/core/rmem_max");
    std::string value;
    in >> value;
    return value;
}

void WriteRmemMax(const std::string& value) { std::ofstream("/proc/sys/net/core/rmem_max") << value << '\n'; }

std::vector<int> Numbers(const std::string& list) {
    std::vector<int> numbers;
    std::stringstream in(list);
    for (std::string n; std::getline(in, n, ',');) numbers.push_back(std::stoi(n));
    return numbers;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string rmemMax;
    std::vector<std::string> figures;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--child") return ChildScan();
        if (a == "--child-first" && i + 2 < argc)
            return ChildFirst(argv[i + 1],
                              std::string(argv[i + 2]) == "mdns" ? bench::Answer::Mdns : bench::Answer::Range);
        if (a == "--child-rss" && i + 1 < argc) return ChildRss(std::vector<const char*>(argv + i + 1, argv + argc));
        if (a == "--runs" && i + 1 < argc)
            o.runs = std::stoi(argv[++i]);
        else if (a == "--out" && i + 1 < argc)
            o.out = argv[++i];
        else if (a == "--cameras" && i + 1 < argc) {
            o.cameras = Numbers(argv[++i]);
            o.camerasGiven = true;
        } else if (a == "--interfaces" && i + 1 < argc)
            o.interfaces = Numbers(argv[++i]);
        else if (a == "--rmem-max" && i + 1 < argc)
            rmemMax = argv[++i];
        else if (a == "--unprivileged")
            o.unprivileged = true;
        else if (a == "broadcast" || a == "mdns" || a == "first" || a == "memory" || a == "site")
            figures.push_back(a);
        else {
            std::cerr << "usage: vantrel-bench-scan [--runs N] [--out FILE] [--cameras 1,10,100,500] "
                         "[--interfaces 1,2,4,8] [--unprivileged] [--rmem-max BYTES] [broadcast] [mdns] [first] "
                         "[memory] [site]\n";
            return 2;
        }
    }
    if (std::string why = TestLan::Unavailable(); !why.empty()) {
        std::cerr << "cannot build the test LAN: " << why << '\n';
        return 1;
    }
    auto wanted = [&](const char* name) {
        return figures.empty() || std::find(figures.begin(), figures.end(), name) != figures.end();
    };
    const std::string savedRmem = ReadRmemMax();
    if (!rmemMax.empty()) WriteRmemMax(rmemMax);
    std::printf("net.core.rmem_max %s, %d runs each\n", ReadRmemMax().c_str(), o.runs);
    bench::Results results(o.out);
    if (wanted("broadcast") || wanted("mdns")) Discovery(results, o, wanted("broadcast"), wanted("mdns"));
    if (wanted("first") || wanted("memory")) Cli(results, o, wanted("first"), wanted("memory"));
    if (wanted("site")) Site(results, o);
    WriteRmemMax(savedRmem);
    return 0;
}
