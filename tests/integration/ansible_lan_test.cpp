// The Ansible collection with the real engine: a controller reaches two sites
// by SSH, each site a Linux box on its own camera LAN with emulated cameras,
// and ansible-playbook provisions both from their host_vars plans: a check run
// that sends nothing, a real run on both sites at once, a repeat that changes
// nothing, a faulty plan on one site that leaves the other one alone, and the
// module's documentation.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "camera_lan.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kAnsiblePlaybook = "/usr/bin/ansible-playbook";
constexpr const char* kAnsibleDoc = "/usr/bin/ansible-doc";
constexpr const char* kSshd = "/usr/sbin/sshd";
constexpr const char* kSshKeygen = "/usr/bin/ssh-keygen";

// A site's cameras, `n` telling the sites' hardware addresses apart: one
// without an address and one at an old address (both found by broadcast), one
// link-local found by multicast DNS only (given its address by HTTP), and one
// found by multicast DNS that only gets a name.
std::vector<Row> SiteRows(int n) {
    const std::string hw = "02:e5:a1:00:1" + std::to_string(n) + ":0";
    EmulatedCamera link = WebCam("Link", hw + "3", "169.254.7.7");
    link.subnet = "255.255.0.0";
    return {{Cam("Fresh", hw + "1", "0.0.0.0"), "10.77.0.200", "255.255.255.0", "10.77.0.1", ""},
            {Cam("Door", hw + "2", "10.77.0.101"), "10.77.0.201", "255.255.255.0", "10.77.0.1", ""},
            {link, "10.77.0.162", "255.255.255.0", "10.77.0.1", ""},
            {WebCam("Hall", hw + "4", "10.77.0.22"), "10.77.0.22", "255.255.255.0", "10.77.0.1", "Hall_2"}};
}

// `rows` as a host_vars plan, camera_plan, in the collection's row form.
std::string HostVars(const std::vector<Row>& rows, const std::string& badRow = {}) {
    std::string text = "camera_plan:\n";
    for (const Row& r : rows) {
        text += "  - hwaddr: \"" + r.camera.hwAddr + "\"\n    ip: \"" + r.planned + "\"\n    subnet: \"" + r.subnet +
                "\"\n    gateway: \"" + r.gateway + "\"\n";
        if (!r.name.empty()) text += "    name: \"" + r.name + "\"\n";
    }
    return text + badRow;
}

// The playbook: each site's cameras from its plan.
constexpr const char* kPlaybook = R"(- name: Provision every site from its plan
  hosts: camera_sites
  gather_facts: false
  tasks:
    - name: Cameras at their planned addresses and names
      vantrel.cameras.provision:
        rows: "{{ camera_plan }}"
        cli_path: "{{ vantrel_cli }}"
      register: provisioned
)";

// One site: the box (its own namespace, the "pc" of its camera LAN, with a
// management link to the controller), its cameras and its SSH server.
struct Site {
    std::string name, box, cams, management;
    std::vector<Row> rows;
    std::unique_ptr<LanProcess> camsim, sshd;
    std::unique_ptr<ProvisionRun> sent;
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A recap line's counts for `host`: {"ok": 1, "changed": 0, "failed": 0, ...}.
std::map<std::string, int> Recap(const std::string& output, const std::string& host) {
    std::map<std::string, int> counts;
    const std::size_t recap = output.find("PLAY RECAP");
    if (recap == std::string::npos) return counts;
    std::size_t at = output.find("\n" + host + " ", recap);
    if (at == std::string::npos) return counts;
    const std::string line = output.substr(at + 1, output.find('\n', at + 1) - at - 1);
    for (const char* key : {"ok", "changed", "unreachable", "failed", "skipped"}) {
        const std::size_t k = line.find(std::string(key) + "=");
        if (k != std::string::npos) counts[key] = std::atoi(line.c_str() + k + std::string(key).size() + 1);
    }
    return counts;
}

// The provision task's result for `host` as ansible-playbook -v prints it,
// "changed: [north] => {...}" on one line.
json TaskResult(const std::string& output, const std::string& host) {
    for (const std::string state : {"changed", "ok", "failed"}) {
        const std::string head = "\n" + state + ": [" + host + "] => ";
        const std::size_t at = output.find(head);
        if (at == std::string::npos) continue;
        const std::size_t from = at + head.size();
        return json::parse(output.substr(from, output.find('\n', from) - from), nullptr, false);
    }
    return json::object();
}

class AnsibleLan : public CameraLan {
protected:
    void SetUp() override {
        CameraLan::SetUp();
        if (IsSkipped()) return;
        for (const char* program : {kAnsiblePlaybook, kAnsibleDoc, kSshd, kSshKeygen})
            if (access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
        // Debian's sshd wants its privilege separation directory, which its
        // package makes at boot; a container may not have it yet.
        mkdir("/run/sshd", 0755);

        for (int n : {1, 2}) {
            Site& s = sites[n - 1];
            const std::string i = std::to_string(n);
            s.name = n == 1 ? "north" : "south";
            s.box = "box" + i;
            s.cams = "cams" + i;
            s.management = "10.90." + i + ".2";
            s.rows = SiteRows(n);
            lan.AddLan("lan" + i);
            lan.AddHost(s.box, "lan" + i, "eth0", {"10.77.0.2/24"});
            lan.AddHost(s.cams, "lan" + i, "eth0", {"10.77.0.22/24", "169.254.7.7/16"});
            lan.AddLan("mgmt" + i);
            lan.AddHost(s.box, "mgmt" + i, "mgmt0", {s.management + "/24"});
            lan.AddHost("ctl", "mgmt" + i, "mgmt" + i, {"10.90." + i + ".1/24"});
        }
        ASSERT_TRUE(lan.Ok());
        for (Site& s : sites) {
            s.camsim = StartCameras(s.cams, Cameras(s));
            ASSERT_TRUE(s.camsim);
            s.sent = std::make_unique<ProvisionRun>(*s.camsim);
        }

        // The controller's key, each box's host key and SSH server.
        ASSERT_EQ(Keygen(lan.File("id_controller")), 0);
        std::ofstream(lan.File("authorized_keys")) << Slurp(lan.File("id_controller.pub"));
        std::ofstream knownHosts(lan.File("known_hosts"));
        for (Site& s : sites) {
            const std::string key = lan.File(s.box + "_host_key");
            ASSERT_EQ(Keygen(key), 0);
            knownHosts << s.management << " " << Slurp(key + ".pub");
            const std::string config = lan.File(s.box + "_sshd_config");
            std::ofstream(config) << "ListenAddress " << s.management << "\nPort 22\nHostKey " << key
                                  << "\nAuthorizedKeysFile " << lan.File("authorized_keys")
                                  << "\nPidFile none\nStrictModes no\nUsePAM no\nPasswordAuthentication no\n"
                                     "KbdInteractiveAuthentication no\nPermitRootLogin prohibit-password\n"
                                     "Subsystem sftp internal-sftp\n";
            Launch how;
            how.netns = lan.Namespace(s.box);
            how.stderrOnStdout = true;  // -e: its log, "Server listening on ...", on the pipe
            s.sshd = Start({kSshd, "-D", "-e", "-f", config}, how);
            ASSERT_TRUE(s.sshd);
            ASSERT_TRUE(s.sshd->WaitForText("Server listening on " + s.management, 30s)) << s.sshd->Output();
        }
        knownHosts.close();

        // The collection as Ansible looks for it: ansible_collections/vantrel/cameras.
        std::filesystem::create_directories(lan.File("collections/ansible_collections"));
        std::filesystem::create_directory_symlink(VANTREL_ANSIBLE_DIR "/vantrel",
                                                  lan.File("collections/ansible_collections/vantrel"));
        std::filesystem::create_directories(lan.File("host_vars"));
        for (const Site& s : sites) std::ofstream(lan.File("host_vars/" + s.name + ".yml")) << HostVars(s.rows);
        std::ofstream(lan.File("playbook.yml")) << kPlaybook;
        std::ofstream(lan.File("ansible.cfg")) << "[defaults]\n";
        std::ofstream inventory(lan.File("inventory.yml"));
        inventory << "camera_sites:\n  hosts:\n";
        for (const Site& s : sites)
            inventory << "    " << s.name << ":\n      ansible_host: " << s.management
                      << "\n      ansible_remote_tmp: " << lan.File("remote-" + s.name) << "\n";
        inventory << "  vars:\n    ansible_user: root\n    ansible_python_interpreter: /usr/bin/python3\n"
                  << "    ansible_ssh_private_key_file: " << lan.File("id_controller") << "\n"
                  << "    ansible_ssh_common_args: -o UserKnownHostsFile=" << lan.File("known_hosts")
                  << " -o StrictHostKeyChecking=yes -o IdentitiesOnly=yes -o BatchMode=yes\n"
                  << "    vantrel_cli: " << VANTREL_CLI << "\n";
    }

    static std::vector<EmulatedCamera> Cameras(const Site& s) {
        std::vector<EmulatedCamera> cameras;
        for (const Row& r : s.rows) cameras.push_back(r.camera);
        return cameras;
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    int Keygen(const std::string& path) {
        return lan.Run("ctl", {kSshKeygen, "-q", "-t", "ed25519", "-N", "", "-C", "vantrel-test", "-f", path});
    }

    // The environment ansible-playbook and ansible-doc run with: everything of
    // theirs in the LAN's folder, the collection from the source tree.
    std::vector<std::string> AnsibleEnv() {
        return {"/usr/bin/env",
                "ANSIBLE_CONFIG=" + lan.File("ansible.cfg"),
                "ANSIBLE_HOME=" + lan.File("ansible-home"),
                "ANSIBLE_LOCAL_TEMP=" + lan.File("ansible-local"),
                "ANSIBLE_SSH_CONTROL_PATH_DIR=" + lan.File("cp"),
                "ANSIBLE_COLLECTIONS_PATH=" + lan.File("collections"),
                "ANSIBLE_STDOUT_CALLBACK=default",
                "ANSIBLE_NOCOLOR=1",
                "ANSIBLE_RETRY_FILES_ENABLED=0",
                "ANSIBLE_HOST_KEY_CHECKING=1"};
    }

    // ansible-playbook `extra` in the controller's namespace: its exit status,
    // standard output and error (in `output`), and how long it took.
    int Playbook(const std::vector<std::string>& extra, std::string& output,
                 std::chrono::duration<double>* took = nullptr) {
        std::vector<std::string> argv = AnsibleEnv();
        argv.insert(argv.end(),
                    {kAnsiblePlaybook, "-i", lan.File("inventory.yml"), lan.File("playbook.yml"), "--forks", "2"});
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::string errors;
        const auto start = std::chrono::steady_clock::now();
        const int status = lan.Run("ctl", argv, &output, {}, 300s, &errors);
        if (took) *took = std::chrono::steady_clock::now() - start;
        if (!errors.empty()) output += "\n[stderr]\n" + errors;
        return status;
    }

    std::array<Site, 2> sites;
};

// One case, as each step stands on what the one before left.
TEST_F(AnsibleLan, TwoSitesCheckProvisionRepeatFaultAndDoc) {
    // --check --diff: the planned changes shown, nothing written to any camera.
    std::string out;
    EXPECT_EQ(Playbook({"--check", "--diff"}, out), 0) << out;
    for (const Site& s : sites) {
        const std::map<std::string, int> recap = Recap(out, s.name);
        EXPECT_EQ(recap.count("failed") ? recap.at("failed") : -1, 0) << s.name << "\n" << out;
        EXPECT_EQ(recap.count("changed") ? recap.at("changed") : -1, 1) << s.name << "\n" << out;
        const std::string sent = s.sent->Sent();
        EXPECT_FALSE(Has(sent, "assign ")) << sent;
        EXPECT_FALSE(Has(sent, "set ")) << sent;
        EXPECT_FALSE(Has(sent, "set.oid")) << sent;
    }
    // Each site's diff: the camera without an address, the link-local one and the renamed one.
    for (const std::string planned : {"+ip: 10.77.0.200\n", "+ip: 10.77.0.162\n", "-name: Hall\n", "+name: Hall_2\n"})
        EXPECT_EQ(Count(out, planned), 2u) << planned << out;

    // The real run, both sites at once: every row verified, each camera given what its plan says.
    std::chrono::duration<double> both{};
    ASSERT_EQ(Playbook({"-v"}, out, &both), 0) << out;
    for (Site& s : sites) {
        const json result = TaskResult(out, s.name);
        EXPECT_EQ(result["changed"], true) << result.dump();
        EXPECT_FALSE(result.value("failed", false)) << result.dump();
        ASSERT_TRUE(result["results"].is_array()) << out;
        ASSERT_EQ(result["results"].size(), s.rows.size()) << result.dump();
        for (std::size_t i = 0; i < s.rows.size(); ++i) {
            const json& row = result["results"][i];
            EXPECT_EQ(row["hwAddrText"], s.rows[i].camera.hwAddr);
            EXPECT_EQ(row["result"], "verified") << row.dump();
            EXPECT_EQ(row["verified"], true) << row.dump();
        }
        const std::map<std::string, int> recap = Recap(out, s.name);
        EXPECT_EQ(recap.count("changed") ? recap.at("changed") : -1, 1) << s.name << "\n" << out;
        const std::string sent = s.sent->Sent();
        EXPECT_TRUE(Has(sent, "assign " + s.rows[0].camera.hwAddr + " dhcp=0 reboot=0 ip=10.77.0.200")) << sent;
        EXPECT_TRUE(Has(sent, "assign " + s.rows[1].camera.hwAddr + " dhcp=0 reboot=0 ip=10.77.0.201")) << sent;
        EXPECT_TRUE(Has(sent, "http 169.254.7.7:8080 GET /set.oid?")) << sent;
        EXPECT_TRUE(Has(sent, "set 10.77.0.22 2.4=Hall_2")) << sent;
    }

    // Again: nothing to do on either site.
    EXPECT_EQ(Playbook({}, out), 0) << out;
    for (Site& s : sites) {
        const std::map<std::string, int> recap = Recap(out, s.name);
        EXPECT_EQ(recap.count("changed") ? recap.at("changed") : -1, 0) << s.name << "\n" << out;
        EXPECT_EQ(recap.count("failed") ? recap.at("failed") : -1, 0) << s.name << "\n" << out;
        EXPECT_EQ(s.sent->Sent().find("assign "), std::string::npos);
    }

    // A bad row in south's plan fails south, named by its row; north completes.
    std::ofstream(lan.File("host_vars/south.yml"))
        << HostVars(sites[1].rows,
                    "  - hwaddr: \"02:e5:a1:00:12:09\"\n    ip: \"10.77.0.300\"\n"
                    "    subnet: \"255.255.255.0\"\n    gateway: \"10.77.0.1\"\n");
    EXPECT_EQ(Playbook({}, out), 2) << out;
    const std::map<std::string, int> north = Recap(out, "north"), south = Recap(out, "south");
    EXPECT_EQ(north.count("failed") ? north.at("failed") : -1, 0) << out;
    EXPECT_EQ(north.count("ok") ? north.at("ok") : -1, 1) << out;
    EXPECT_EQ(south.count("failed") ? south.at("failed") : -1, 1) << out;
    EXPECT_TRUE(Has(out, "The plan is refused, nothing was sent: rows[4] (02:e5:a1:00:12:09): Invalid IP address"))
        << out;
    EXPECT_EQ(sites[1].sent->Sent(), "");

    // The documentation: the whole page, and the task snippet with the short description.
    std::string doc;
    std::vector<std::string> argv = AnsibleEnv();
    argv.insert(argv.end(), {kAnsibleDoc, "vantrel.cameras.provision"});
    EXPECT_EQ(lan.Run("ctl", argv, &doc), 0) << doc;
    EXPECT_TRUE(Has(doc, "VANTREL.CAMERAS.PROVISION")) << doc;
    EXPECT_TRUE(Has(doc, "Runs `vantrel-cli provision --json' on the managed host")) << doc;
    argv.insert(argv.end() - 1, "-s");
    EXPECT_EQ(lan.Run("ctl", argv, &doc), 0) << doc;
    EXPECT_TRUE(Has(doc, "Give the Zorvo cameras of a managed host's LAN their planned addresses and names")) << doc;

    // For comparison, the same real run on one site: north's cameras as new.
    std::ofstream(lan.File("host_vars/south.yml")) << HostVars(sites[1].rows);
    sites[0].sent.reset();
    sites[0].camsim.reset();
    sites[0].camsim = StartCameras(sites[0].cams, Cameras(sites[0]));
    ASSERT_TRUE(sites[0].camsim);
    std::chrono::duration<double> one{};
    EXPECT_EQ(Playbook({"--limit", "north"}, out, &one), 0) << out;
    const std::map<std::string, int> alone = Recap(out, "north");
    EXPECT_EQ(alone.count("changed") ? alone.at("changed") : -1, 1) << out;
    std::printf("ansible-playbook real run: two sites in parallel %.1f s, one site %.1f s\n", both.count(),
                one.count());
}

}  // namespace
