// The duplicate-address probe against a real kernel in a namespace LAN: ARP on
// every link with CAP_NET_RAW, the kernel's own resolution without it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "camera_lan.h"
#include "address_probe.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::ProbeMethod;
using ProbeLan = CameraLan;

struct Probed {
    platform::ProbeAnswer answer;
    std::chrono::milliseconds took{};
    bool reported = false;

    std::string HwAddr() const {
        if (!answer.answered) return "";
        char text[18];
        const uint8_t* b = answer.hwAddr;
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
        return text;
    }
};

// Probes `text`, as user and group 65534 (no CAP_NET_RAW) in a child process when `ordinary`.
Probed Probe(const char* text, bool ordinary = false) {
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    Probed probed;
    int channel[2];
    if (ordinary && pipe(channel) != 0) return probed;
    const pid_t child = ordinary ? fork() : 0;
    if (child == 0) {
        if (ordinary && (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)) _exit(2);
        const Clock::time_point start = Clock::now();
        probed.answer = platform::ProbeAddress(address);
        probed.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        probed.reported = true;
        if (ordinary) _exit(write(channel[1], &probed, sizeof probed) == sizeof probed ? 0 : 3);
    } else {
        close(channel[1]);
        if (read(channel[0], &probed, sizeof probed) != sizeof probed) probed = {};
        close(channel[0]);
        waitpid(child, nullptr, 0);
    }
    EXPECT_TRUE(probed.reported) << text;
    std::printf("probe %-13s %s %-17s %5lld ms\n", text,
                probed.answer.method == ProbeMethod::ArpOnEveryLink ? "arp      " : "neighbour",
                probed.answer.answered ? probed.HwAddr().c_str() : "no answer",
                static_cast<long long>(probed.took.count()));
    return probed;
}

// The pc on an office LAN (eth0), a camera LAN (eth1) and a LAN where it has no
// IPv4 address (eth2). "outside" and "far" hold addresses of no pc subnet.
void BuildLans(TestLan& lan) {
    lan.AddLan("office");
    lan.AddLan("cameras");
    lan.AddLan("bare");
    lan.AddHost("pc", "office", "eth0", {"10.77.0.2/24"});
    lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
    lan.AddHost("pc", "bare", "eth2", {});
    lan.AddHost("near", "office", "eth0", {"10.77.0.50/24", "10.77.0.51/24"});
    lan.AddHost("outside", "office", "eth0", {"172.31.0.9/24"});
    lan.AddHost("other", "cameras", "eth0", {"192.168.60.50/24"});
    lan.AddHost("far", "bare", "eth0", {"172.20.0.5/24"});
}

TEST_F(ProbeLan, ArpOnEveryLinkFindsEachDeviceAndSaysNoWithinASecond) {
    BuildLans(lan);
    ASSERT_TRUE(lan.Ok());
    const std::pair<const char*, std::string> present[] = {
        {"10.77.0.50", HwAddr("near")},
        {"192.168.60.50", HwAddr("other")},  // the pc's second link
        {"172.31.0.9", HwAddr("outside")},   // no pc subnet
        {"172.20.0.5", HwAddr("far")}};      // a link without IPv4 address
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        for (const auto& [address, hw] : present) {
            const Probed probed = Probe(address);
            EXPECT_EQ(probed.answer.method, ProbeMethod::ArpOnEveryLink);
            EXPECT_EQ(probed.HwAddr(), hw) << address;
            EXPECT_LT(probed.took, 300ms) << address;
        }
        const Probed absent = Probe("10.77.0.99");
        EXPECT_FALSE(absent.answer.answered);
        EXPECT_GE(absent.took, 900ms);
        EXPECT_LT(absent.took, 1500ms);

        // All in one round, with absent ones among them: each address its own answer.
        std::vector<in_addr> all;
        std::vector<std::string> expected;
        for (const auto& [address, hw] : present) {
            all.push_back(in_addr{inet_addr(address)});
            expected.push_back(hw);
            all.push_back(in_addr{inet_addr(("10.77.0." + std::to_string(90 + all.size())).c_str())});
            expected.push_back("");
        }
        const std::vector<platform::ProbeAnswer> answers = platform::ProbeAddresses(all);
        ASSERT_EQ(answers.size(), all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            EXPECT_EQ(answers[i].method, ProbeMethod::ArpOnEveryLink);
            EXPECT_EQ(Probed{answers[i]}.HwAddr(), expected[i]) << inet_ntoa(all[i]);
        }
    }));
    // Sent from 0.0.0.0, the probe taught the device nothing about the pc.
    std::string cached;
    lan.Run("near", {"ip", "-4", "neigh", "show"}, &cached);
    EXPECT_EQ(cached, "");
}

TEST_F(ProbeLan, OrdinaryUserHasTheKernelResolveOnTheRoutedLink) {
    BuildLans(lan);
    ASSERT_TRUE(lan.Ok());
    const std::string near = HwAddr("near");
    // Entries the pc held before the probe: for 10.77.0.51 from traffic with the
    // device (still there); for 10.77.0.97 and .98 from devices that have gone.
    for (std::vector<std::string> entry :
         std::vector<std::vector<std::string>>{{"10.77.0.51", near, "stale"},
                                               {"10.77.0.97", "02:00:00:00:00:97", "reachable"},
                                               {"10.77.0.98", "02:00:00:00:00:98", "stale"}}) {
        ASSERT_EQ(
            lan.Run("pc", {"ip", "neigh", "replace", entry[0], "lladdr", entry[1], "dev", "eth0", "nud", entry[2]}), 0);
    }
    ASSERT_TRUE(lan.RunInside("pc", [&] {
        const Probed fresh = Probe("10.77.0.50", true);
        EXPECT_EQ(fresh.answer.method, ProbeMethod::KernelNeighbour);
        EXPECT_EQ(fresh.HwAddr(), near);
        EXPECT_LT(fresh.took, 500ms);
        // A known entry is not confirmed again for seconds; the device's refusal of the datagram shows it lives.
        const Probed known = Probe("10.77.0.51", true);
        EXPECT_EQ(known.HwAddr(), near);
        EXPECT_LT(known.took, 500ms);
        EXPECT_EQ(Probe("192.168.60.50", true).HwAddr(), HwAddr("other"));

        // No route leads to an address outside the pc's subnets: no at once.
        const Probed unrouted = Probe("172.31.0.9", true);
        EXPECT_FALSE(unrouted.answer.answered);
        EXPECT_LT(unrouted.took, 100ms);
        const Probed absent = Probe("10.77.0.99", true);
        EXPECT_FALSE(absent.answer.answered);
        EXPECT_GE(absent.took, 2500ms);
        EXPECT_LT(absent.took, 4000ms);

        // Seconds after they were last confirmed, neither gone device counts.
        auto reachable = std::async(std::launch::async, Probe, "10.77.0.97", true);
        const Probed stale = Probe("10.77.0.98", true);
        EXPECT_FALSE(stale.answer.answered);
        EXPECT_LT(stale.took, 4000ms);
        EXPECT_FALSE(reachable.get().answer.answered);
    }));
}

}  // namespace
