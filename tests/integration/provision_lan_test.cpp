// vantrel-cli provision in a namespace LAN: twenty emulated cameras of every
// kind given their addresses and names from one plan, with a dry run, an
// interrupted run, a row whose address another device holds, and a repeat.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <grp.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camera_lan.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

using ProvisionLan = CameraLan;

// Mast answers at 192.168.0.23, an address outside the pc's subnet, so it can
// be named only where it goes. Its OID service follows it to 10.77.0.150: the
// cams host holds that address already but answers no ARP for it (it is not
// on eth0), so the probe finds it free while the pc reaches it by a fixed
// neighbour entry.
EmulatedCamera Mast() {
    EmulatedCamera mast = Cam("Mast", "02:e5:a1:00:06:03", "192.168.0.23");
    mast.extra = {{"zorvo", true}};
    return mast;
}

void HoldMastsNewAddress(TestLan& lan, const std::string& camsHwAddr) {
    lan.Run("cams", {"ip", "addr", "add", "10.77.0.150/32", "dev", "lo"});
    lan.Run("cams", {"sysctl", "-qw", "net.ipv4.conf.eth0.arp_ignore=1"});
    lan.Run("pc", {"ip", "neigh", "replace", "10.77.0.150", "lladdr", camsHwAddr, "dev", "eth0", "nud", "permanent"});
}

// Every kind of camera a site brings: broadcast-only ones at old addresses,
// one without an address, one going to DHCP, one that is also renamed at its
// new address, three found by multicast DNS only (one link-local, one renamed
// before it moves) and one that only gets a name.
std::vector<Row> SitePlan() {
    std::vector<Row> rows;
    auto fixed = [&](EmulatedCamera c, const std::string& ip, const std::string& name = "") {
        rows.push_back({c, ip, "255.255.255.0", "10.77.0.1", name});
    };
    // Its assignment is answered seconds late: a signal meanwhile finds the first row in progress.
    EmulatedCamera fresh = Cam("Fresh", "02:e5:a1:00:06:01", "0.0.0.0");
    fresh.extra = {{"assignDelayMs", 4000}};
    fixed(fresh, "10.77.0.200");
    rows.push_back({Cam("Dyn", "02:e5:a1:00:06:02", "10.77.0.30"), "dhcp", "", "", ""});
    for (int i = 1; i <= 13; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        fixed(Cam("Cam" + n, "02:e5:a1:00:06:1" + std::string(1, "0123456789abcdef"[i]), "10.77.0.1" + n),
              "10.77.0.2" + n);
    }
    fixed(Mast(), "10.77.0.150", "Mast-North");
    fixed(WebCam("Web1", "02:e5:a1:00:06:04", "10.77.0.20"), "10.77.0.160", "Web1_Gate");
    fixed(WebCam("Web2", "02:e5:a1:00:06:05", "10.77.0.21"), "10.77.0.161");
    EmulatedCamera link = WebCam("Link", "02:e5:a1:00:06:06", "169.254.7.7");
    link.subnet = "255.255.0.0";
    fixed(link, "10.77.0.162");
    // No hyphen: its multicast DNS instance is "<name>-<hardware address>", and
    // the discovery takes the text after the first hyphen for the maker's OUI.
    fixed(WebCam("Hall", "02:e5:a1:00:06:07", "10.77.0.22"), "10.77.0.22", "Hall_2");
    return rows;
}

// The row of a camera whose planned address "near" holds.
Row BlockedRow() {
    return {Cam("Blocked", "02:e5:a1:00:06:08", "10.77.0.31"), "10.77.0.50", "255.255.255.0", "10.77.0.1", ""};
}

// A row's outcome by hardware address.
std::map<std::string, json> ByHwAddr(const json& outcomes) {
    std::map<std::string, json> rows;
    for (const json& o : outcomes) rows[o["hwAddrText"]] = o;
    return rows;
}

json State(const std::string& ip, const std::string& subnet, const std::string& gateway, bool dhcp,
           const std::string& name) {
    return {{"ip", ip}, {"subnet", subnet}, {"gateway", gateway}, {"dhcp", dhcp}, {"name", name}};
}

// Result text by hardware address.
std::map<std::string, std::string> Results(const json& outcomes) {
    std::map<std::string, std::string> results;
    for (const json& o : outcomes) results[o["hwAddrText"]] = o["result"];
    return results;
}

// The site: twenty cameras of every kind and "Blocked", whose planned address
// "near" holds; plan A for the twenty, plan B with the blocked row among them.
class SiteLan : public CameraLan {
protected:
    void SetUp() override {
        CameraLan::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(site.size(), 20u);
        withBlocked.insert(withBlocked.begin() + 8, BlockedRow());
        lan.AddBasic({"10.77.0.20/24", "10.77.0.21/24", "10.77.0.22/24", "192.168.0.23/24", "169.254.7.7/16"});
        lan.AddHost("near", "lan", "eth0", {"10.77.0.50/24"});
        ASSERT_TRUE(lan.Ok());
        HoldMastsNewAddress(lan, HwAddr("cams"));
        std::vector<EmulatedCamera> cameras;
        for (const Row& r : withBlocked) cameras.push_back(r.camera);
        cams = StartCameras("cams", cameras);
        ASSERT_TRUE(cams);
        run = std::make_unique<ProvisionRun>(*cams);
        std::ofstream(planA) << PlanText(site);
        std::ofstream(planB) << PlanText(withBlocked);
        std::string hw = HwAddr("near");
        std::replace(hw.begin(), hw.end(), ':', '-');
        blockedBy = "address in use by " + hw;
    }

    // vantrel-cli provision PLAN --json EXTRA: its exit status, its rows in
    // `outcomes`. As `who` when given (its copy of the program and the traces in `traces`).
    int Provision(const std::string& plan, const std::vector<std::string>& extra, json& outcomes,
                  std::optional<RunAs> who = {}, std::string* traces = nullptr) {
        std::vector<std::string> argv = {who ? lan.Executable(VANTREL_CLI) : VANTREL_CLI, "provision", plan, "--json"};
        if (traces) argv.insert(argv.begin() + 1, "--trace");
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::string out;
        const int status = lan.Run("pc", argv, &out, who.value_or(RunAs()), 120s, traces);
        outcomes = json::parse(out, nullptr, false);
        EXPECT_TRUE(outcomes.is_array()) << out;
        return status;
    }

    const std::vector<Row> site = SitePlan();
    std::vector<Row> withBlocked = site;
    std::unique_ptr<LanProcess> cams;
    std::unique_ptr<ProvisionRun> run;
    const std::string planA = lan.File("site.csv"), planB = lan.File("blocked.csv");
    std::string blockedBy;
};

// A dry run probes and says what it would do, and sends nothing. It runs as an
// ordinary user in the helper's group: the plan's one round of probes goes
// through vantrel-nethelper and still finds the one address in use among the free.
TEST_F(SiteLan, DryRunTellsWhatItWouldDoAndSendsNothing) {
    const group* users = getgrnam("users");
    const std::string helper = users ? GroupHelper(users->gr_gid) : "";
    json outcomes;
    std::string traces;
    EXPECT_EQ(Provision(planB, {"--dry-run"}, outcomes,
                        helper.empty() ? std::optional<RunAs>() : RunAs::Member(users->gr_gid), &traces),
              1);
    for (const Row& r : withBlocked) {
        if (!helper.empty() && r.planned != "dhcp" && r.planned != r.camera.ip) {
            EXPECT_TRUE(Has(traces, "probe " + r.planned + ": ARP by " + helper)) << r.planned << traces;
        }
    }
    std::map<std::string, std::string> results = Results(outcomes);
    EXPECT_EQ(results.size(), 21u);
    EXPECT_EQ(results["02:e5:a1:00:06:01"], "would assign by broadcast");
    EXPECT_EQ(results["02:e5:a1:00:06:03"], "would assign by broadcast, then name it Mast-North");
    EXPECT_EQ(results["02:e5:a1:00:06:04"], "would assign by HTTP, then name it Web1_Gate");
    EXPECT_EQ(results["02:e5:a1:00:06:06"], "would assign by HTTP");
    EXPECT_EQ(results["02:e5:a1:00:06:07"], "would name it Hall_2");
    EXPECT_EQ(results["02:e5:a1:00:06:08"], blockedBy);
    EXPECT_EQ(run->Sent(), "");
    // Each camera as found and as the plan would leave it: what is kept stays as found.
    std::map<std::string, json> rows = ByHwAddr(outcomes);
    EXPECT_EQ(rows["02:e5:a1:00:06:03"]["before"], State("192.168.0.23", "255.255.255.0", "10.77.0.1", false, "Mast"));
    EXPECT_EQ(rows["02:e5:a1:00:06:03"]["after"],
              State("10.77.0.150", "255.255.255.0", "10.77.0.1", false, "Mast-North"));
    EXPECT_EQ(rows["02:e5:a1:00:06:04"]["after"]["name"], "Web1_Gate");
    EXPECT_EQ(rows["02:e5:a1:00:06:02"]["after"], State("", "", "", true, "Dyn"));
    json hall = rows["02:e5:a1:00:06:07"]["before"];  // found by multicast DNS: its mask as that tells it
    EXPECT_EQ(hall["name"], "Hall");
    hall["name"] = "Hall_2";
    EXPECT_EQ(rows["02:e5:a1:00:06:07"]["after"], hall);
    for (const auto& [hw, row] : rows) EXPECT_EQ(row["changed"], hw != "02:e5:a1:00:06:08") << row.dump();
}

// One case, as each step stands on what the one before left: the resumed run
// on the interrupted one's work, the repeat on the finished site. Interrupted
// while the first camera's assignment awaits its reply, the row in progress
// ends and what was done is printed; resumed, what was done stays, the blocked row is
// skipped, every other camera is verified at its new address; repeated,
// nothing is sent.
TEST_F(SiteLan, InterruptedPlanResumesSkipsTheBlockedRowAndRepeatsUnchanged) {
    auto interrupted = lan.Start("pc", {VANTREL_CLI, "provision", planA, "--json"});
    ASSERT_TRUE(cams->WaitForText("assign 02:e5:a1:00:06:01 dhcp=0 reboot=0 ip=10.77.0.200", 60s));
    interrupted->Signal(SIGINT);
    EXPECT_EQ(interrupted->Wait(60s), 130);
    json outcomes = json::parse(interrupted->Output(), nullptr, false);
    ASSERT_TRUE(outcomes.is_array()) << interrupted->Output();
    EXPECT_GE(outcomes.size(), 2u);
    EXPECT_LT(outcomes.size(), 20u);
    EXPECT_EQ(outcomes[0]["result"], "assigned by broadcast");
    EXPECT_EQ(outcomes[0]["verified"], false);
    // Web1 was named where it was before the first move, and is reported with
    // what it got, after the rows begun in plan order.
    const json& web1 = outcomes.back();
    EXPECT_EQ(web1["hwAddrText"], "02:e5:a1:00:06:04");
    EXPECT_EQ(web1["result"], "named");
    EXPECT_EQ(web1["changed"], true);
    EXPECT_EQ(web1["verified"], false);
    std::set<std::string> moved;
    for (const json& o : outcomes)
        if (o["result"].get<std::string>().starts_with("assigned by")) moved.insert(o["hwAddrText"]);
    const std::string sentFirst = run->Sent();
    EXPECT_NE(sentFirst.find("http 10.77.0.20:8080 GET /set.oid?OidTB2.4=Web1_Gate"), std::string::npos) << sentFirst;

    EXPECT_EQ(Provision(planB, {}, outcomes), 1);
    ASSERT_EQ(outcomes.size(), 21u);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const json& o = outcomes[i];
        EXPECT_EQ(o["hwAddrText"], withBlocked[i].camera.hwAddr);
        EXPECT_EQ(o["planned"], withBlocked[i].planned);
        if (o["hwAddrText"] == BlockedRow().camera.hwAddr) {
            EXPECT_EQ(o["result"], blockedBy);
            EXPECT_EQ(o["code"], 11);
            EXPECT_EQ(o["verified"], false);
            EXPECT_EQ(o["changed"], false);
        } else {
            const bool done = moved.count(o["hwAddrText"]) > 0;
            EXPECT_EQ(o["result"], done ? "unchanged" : "verified") << o.dump();
            EXPECT_EQ(o["verified"], true) << o.dump();
            EXPECT_EQ(o["changed"], !done) << o.dump();
        }
    }
    const std::string sent = run->Sent();
    EXPECT_EQ(sent.find("02:e5:a1:00:06:01"), std::string::npos) << sent;               // done before
    EXPECT_EQ(sent.find("02:e5:a1:00:06:08"), std::string::npos) << sent;               // blocked
    EXPECT_NE(sent.find("set 10.77.0.150 2.4=Mast-North"), std::string::npos) << sent;  // named where it went
    EXPECT_EQ(sent.find("Web1_Gate"), std::string::npos) << sent;                       // named already
    EXPECT_NE(sent.find("set 10.77.0.22 2.4=Hall_2"), std::string::npos) << sent;
    EXPECT_NE(sent.find("http 169.254.7.7:8080 GET /set.oid?"), std::string::npos) << sent;

    std::map<std::string, json> listed;
    for (const json& r : CliScan()) listed[r["hwAddrText"]] = r;
    for (const Row& r : site) {
        const json& seen = listed[r.camera.hwAddr];
        if (r.planned == "dhcp") {
            EXPECT_EQ(seen["dhcp"], 1) << r.camera.name;
        } else {
            EXPECT_EQ(seen["ipAddrText"], r.planned) << r.camera.name;
        }
        EXPECT_EQ(seen["name"], r.name.empty() ? r.camera.name : r.name) << r.camera.name;
    }
    EXPECT_EQ(listed["02:e5:a1:00:06:08"]["ipAddrText"], "10.77.0.31");

    // Again: every row unchanged, nothing sent, and the table form.
    std::string table;
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "provision", planA}, &table), 0);
    EXPECT_EQ(table.substr(0, table.find('\n')), "Hardware Address\tPlanned Address\tResult");
    EXPECT_NE(table.find("02:e5:a1:00:06:02\tdhcp\tunchanged\n"), std::string::npos) << table;
    std::size_t unchanged = 0;
    for (std::size_t at = table.find("\tunchanged\n"); at != std::string::npos;
         at = table.find("\tunchanged\n", at + 1))
        ++unchanged;
    EXPECT_EQ(unchanged, 20u) << table;
    EXPECT_EQ(run->Sent(), "");
}

// Ctrl-C during the scan that follows the wait: the scan's verdicts stand,
// the name due at the new address is not written, and the exit status says
// a row was left undone. A host on the LAN tells when that scan begins.
TEST_F(ProvisionLan, InterruptedRightAfterTheWait) {
    lan.AddBasic({"192.168.0.23/24"});
    lan.AddHost("watch", "lan", "eth0", {"10.77.0.98/24"});
    ASSERT_TRUE(lan.Ok());
    HoldMastsNewAddress(lan, HwAddr("cams"));
    const std::vector<Row> rows = {
        {Mast(), "10.77.0.150", "255.255.255.0", "10.77.0.1", "Mast-North"},
        {Cam("Plain", "02:e5:a1:00:06:09", "10.77.0.30"), "10.77.0.201", "255.255.255.0", "10.77.0.1", ""}};
    auto cams = StartCameras("cams", {rows[0].camera, rows[1].camera});
    ASSERT_TRUE(cams);
    ProvisionRun run(*cams);
    const std::string plan = lan.File("plan.csv");
    std::ofstream(plan) << PlanText(rows);
    int watch = -1;
    ASSERT_TRUE(lan.RunInside("watch", [&] { watch = BoundSocket(43282, true); }));
    ASSERT_GE(watch, 0);

    auto provision = lan.Start("pc", {VANTREL_CLI, "provision", plan, "--json"});
    // Both assignment requests (code 3), then the first discovery request (code 1) after them.
    int assignments = 0;
    bool signalled = false;
    uint8_t request[128];
    pollfd waiting{watch, POLLIN, 0};
    for (const auto end = std::chrono::steady_clock::now() + 60s;
         !signalled && std::chrono::steady_clock::now() < end;) {
        if (poll(&waiting, 1, 1000) <= 0 || recv(watch, request, sizeof request, 0) < 2) continue;
        if (request[1] == 3) ++assignments;
        if (request[1] == 1 && assignments == 2) {
            provision->Signal(SIGINT);
            signalled = true;
        }
    }
    close(watch);
    ASSERT_TRUE(signalled);
    EXPECT_EQ(provision->Wait(60s), 130);
    const json outcomes = json::parse(provision->Output(), nullptr, false);
    ASSERT_TRUE(outcomes.is_array()) << provision->Output();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0]["result"], "assigned by broadcast");
    EXPECT_EQ(outcomes[0]["verified"], false);
    EXPECT_EQ(outcomes[1]["result"], "verified");  // the scan saw it there: nothing more was due
    EXPECT_EQ(run.Sent(),
              "assign 02:e5:a1:00:06:03 dhcp=0 reboot=0 ip=10.77.0.150\n"
              "assign 02:e5:a1:00:06:09 dhcp=0 reboot=0 ip=10.77.0.201\n");
}

// The round trip the README shows: a scan's CSV, edited, is a plan; unedited
// it changes nothing; edited, it moves and renames the camera.
TEST_F(ProvisionLan, ScanCsvIsAPlan) {
    ASSERT_TRUE(lan.AddBasic(BasicRange(20, 20)));
    EmulatedCamera both = WebCam("Both", "02:e5:a1:00:07:01", "10.77.0.20");
    both.drovik = true;  // listed twice by the scan, once in its CSV
    auto cams = StartCameras("cams", {both, Cam("Fresh", "02:e5:a1:00:07:02", "0.0.0.0")});
    ProvisionRun run(*cams);
    std::string csv;
    ASSERT_EQ(lan.Run("pc", {VANTREL_CLI, "scan", "--csv"}, &csv), 0);
    EXPECT_EQ(csv,
              "hwaddr,ip,subnet,gateway,name,type,via\n"
              "02:e5:a1:00:07:02,0.0.0.0,255.255.255.0,10.77.0.1,Fresh,ZC-100,drovik\n"
              "02:e5:a1:00:07:01,10.77.0.20,255.255.255.0,10.77.0.1,Both,ZC-100,drovik\n");
    const std::string plan = lan.File("plan.csv");
    std::ofstream(plan) << csv;
    std::string out;
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "provision", plan}, &out), 0) << out;
    EXPECT_EQ(run.Sent(), "");

    // Moved and renamed: named first where it answers, so the scan after the
    // wait verifies both and no third scan runs.
    std::ofstream(plan)
        << "hwaddr,ip,subnet,gateway,name\n02:e5:a1:00:07:01,10.77.0.40,255.255.255.0,10.77.0.1,Both_2\n";
    std::string traces;
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "--trace", "provision", plan}, &out, {}, 120s, &traces), 0) << out;
    EXPECT_EQ(out, "Hardware Address\tPlanned Address\tResult\n02:e5:a1:00:07:01\t10.77.0.40\tverified\n");
    EXPECT_EQ(run.Sent(),
              "http 10.77.0.20:8080 GET /set.oid?OidTB2.4=Both_2\n"  // the Digest challenge
              "http 10.77.0.20:8080 GET /set.oid?OidTB2.4=Both_2\n"
              "set 10.77.0.20 2.4=Both_2\n"
              "assign 02:e5:a1:00:07:01 dhcp=0 reboot=0 ip=10.77.0.40\n");
    std::size_t scans = 0;
    for (std::size_t at = traces.find("drovik replies"); at != std::string::npos;
         at = traces.find("drovik replies", at + 1))
        ++scans;
    EXPECT_EQ(scans, 2u) << traces;

    // A malformed edit is refused whole, before anything is sent.
    std::ofstream(plan) << csv << "02:e5:a1:00:07:02,10.77.0.40,255.255.255.0,10.77.0.1,Fresh,,\n";  // twice
    EXPECT_EQ(lan.Run("pc", {VANTREL_CLI, "provision", plan}, &out), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(run.Sent(), "");
}

}  // namespace
