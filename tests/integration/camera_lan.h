#pragma once
// A test in a namespace LAN with emulated cameras and the command-line tool.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camsim_config.h"
#include "scanner.h"
#include "test_lan.h"

// A camera and the settings a plan gives it.
struct Row {
    EmulatedCamera camera;
    std::string planned, subnet, gateway, name;  // planned "dhcp": no subnet or gateway
};

// The plan of `rows` as vantrel-cli provision reads it.
inline std::string PlanText(const std::vector<Row>& rows) {
    std::string text = "# site plan\nhwaddr,ip,subnet,gateway,name\n";
    for (const Row& r : rows)
        text += r.camera.hwAddr + "," + r.planned + "," + r.subnet + "," + r.gateway + ",\"" + r.name + "\"\n";
    return text;
}

// What the emulator in a camera host printed that it was sent.
class ProvisionRun {
public:
    explicit ProvisionRun(LanProcess& cams) : cams(cams) {}
    // What the cameras were sent since the last call: assignments, OID writes and web requests.
    std::string Sent() {
        cams.WaitForLine("\x01", std::chrono::milliseconds(300));  // reads what is waiting
        const std::string fresh = cams.Output().substr(mark);
        mark = cams.Output().size();
        std::string sent;
        for (std::size_t at = 0; at < fresh.size();) {
            const std::size_t end = fresh.find('\n', at);
            const std::string line = fresh.substr(at, end - at);
            if (line.rfind("assign ", 0) == 0 || line.rfind("set ", 0) == 0 || line.rfind("http ", 0) == 0)
                sent += line + "\n";
            at = end == std::string::npos ? fresh.size() : end + 1;
        }
        return sent;
    }

private:
    LanProcess& cams;
    std::size_t mark = 0;
};

class CameraLan : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_TEST_LAN(); }

    // Starts vantrel-camsim in `host` playing `cameras`; fails the test unless it gets ready.
    std::unique_ptr<LanProcess> StartCameras(const std::string& host, const std::vector<EmulatedCamera>& cameras) {
        auto process = StartCamsim(cameras, &lan, host);
        EXPECT_TRUE(process) << "vantrel-camsim did not start in " << host;
        return process;
    }

    // The index of the camera named `name` in the scanner's table; -1 when not there.
    static int IndexOf(const CScanner& scanner, const std::string& name) {
        for (int i = 0; i < scanner.Count(); ++i)
            if (name == scanner.RecordAt(i).name) return i;
        return -1;
    }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    // A UDP socket bound to 0.0.0.0:`port` in the calling thread's namespace; -1 on failure.
    static int BoundSocket(uint16_t port, bool reuse) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (reuse) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) return fd;
        if (fd >= 0) close(fd);
        return -1;
    }

    // `prefix` vantrel-cli scan --json `extra` in the pc namespace, parsed.
    nlohmann::json CliScan(bool unprivileged = false, const std::vector<std::string>& extra = {},
                           const std::vector<std::string>& prefix = {}) {
        std::vector<std::string> argv = prefix;
        argv.insert(argv.end(), {unprivileged ? lan.Executable(VANTREL_CLI) : VANTREL_CLI, "scan", "--json"});
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::string out;
        EXPECT_EQ(lan.Run("pc", argv, &out, unprivileged), 0);
        nlohmann::json parsed = nlohmann::json::parse(out, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << out;
        return parsed;
    }

    // One scan by the real scanner inside the pc namespace, in its own order
    // (unsorted), with how long Scan took and the records as they were accepted.
    struct PcScan {
        bool entered = false;
        std::vector<CameraRecord> records;
        std::chrono::steady_clock::duration took{};
        std::vector<CameraRecord> streamed;
        ScanOutcome outcome;
    };
    PcScan ScanInPc() {
        PcScan result;
        result.entered = lan.RunInside("pc", [&] {
            CScanner scanner;
            scanner.onRecord = [&](const CameraRecord& r) { result.streamed.push_back(r); };
            const auto start = std::chrono::steady_clock::now();
            scanner.Scan();
            result.took = std::chrono::steady_clock::now() - start;
            for (int i = 0; i < scanner.Count(); ++i) result.records.push_back(scanner.RecordAt(i));
            result.outcome = scanner.Outcome();
        });
        return result;
    }

    // What a user or a command sees of a record, as one text.
    static std::string Key(const CameraRecord& r) {
        char iface[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &r.ifaceAddr.sin_addr, iface, sizeof iface);
        return std::string(r.name) + "|" + r.hwAddrText + "|" + r.ipAddrText + "|" + r.subnetText + "|" +
               r.gatewayText + "|" + r.productName + "|" + std::to_string(r.productCode) + "|" +
               std::to_string(r.dhcp) + "|" + std::to_string(r.foundByDrovik) + "|" + r.webAddr + "|" + iface;
    }
    // Each record of the table was told once as it was accepted, nothing else:
    // the broadcast ones in table order, then the multicast DNS ones as they arrived.
    static void ExpectStreamedTable(const PcScan& scan) {
        std::vector<std::string> table, streamed;
        for (const CameraRecord& r : scan.records) table.push_back(Key(r));
        for (const CameraRecord& r : scan.streamed) streamed.push_back(Key(r));
        std::size_t broadcast = 0;
        while (broadcast < scan.records.size() && scan.records[broadcast].foundByDrovik) ++broadcast;
        ASSERT_EQ(streamed.size(), table.size());
        EXPECT_TRUE(std::equal(table.begin(), table.begin() + broadcast, streamed.begin()));
        std::sort(table.begin(), table.end());
        std::sort(streamed.begin(), streamed.end());
        EXPECT_EQ(streamed, table);
    }

    // The hardware address of `host`'s `link`, "02:11:22:33:44:55".
    std::string HwAddr(const std::string& host, const std::string& link = "eth0") {
        std::string out;
        lan.Run(host, {"cat", "/sys/class/net/" + link + "/address"}, &out);
        return out.substr(0, out.find('\n'));
    }

    // Every IPv4 route of the pc, all tables, as `ip -j` prints them: equal
    // texts mean no route was added, changed or removed.
    std::string PcRoutes() {
        std::string out;
        lan.Run("pc", {"ip", "-j", "-4", "route", "show", "table", "all"}, &out);
        return out;
    }

    // The pc's routes of Vantrel's protocol number, "192.168.1.90 dev eth1" each.
    std::vector<std::string> VantrelRoutes() {
        std::string out;
        lan.Run("pc", {"ip", "-j", "-4", "route", "show", "table", "all", "proto", "163"}, &out);
        std::vector<std::string> routes;
        const nlohmann::json parsed = nlohmann::json::parse(out, nullptr, false);
        for (const nlohmann::json& r : parsed.is_array() ? parsed : nlohmann::json::array())
            routes.push_back(r.value("dst", "?") + " dev " + r.value("dev", "?"));
        return routes;
    }

    // vantrel-nethelper beside the copy of vantrel-cli as the package installs
    // it: root:`group`, mode 0750, with its capabilities (set last: chown drops
    // them). Empty when the file cannot be made so here.
    std::string GroupHelper(gid_t group) {
        const std::string helper = lan.Executable(VANTREL_NETHELPER);
        vfs_cap_data caps{};  // what `setcap cap_net_admin,cap_net_raw+ep` writes
        caps.magic_etc = VFS_CAP_REVISION_2 | VFS_CAP_FLAGS_EFFECTIVE;
        caps.data[0].permitted = (1u << CAP_NET_ADMIN) | (1u << CAP_NET_RAW);
        if (chown(helper.c_str(), 0, group) != 0 || chmod(helper.c_str(), 0750) != 0 ||
            setxattr(helper.c_str(), "security.capability", &caps, sizeof caps, 0) != 0)
            return {};
        return helper;
    }

    TestLan lan;
};
