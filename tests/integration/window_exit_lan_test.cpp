// The window, closed by a signal while it holds the link-local route its scan
// added: the route goes first, then the window, with the shell's status.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "camera_lan.h"

namespace {

using namespace std::chrono_literals;
using WindowExitLan = CameraLan;

TEST_F(WindowExitLan, EverySignalTakesTheWindowsRoutesWithIt) {
    if (void* installed = dlopen("libdns_sd.so.1", RTLD_LAZY)) {
        dlclose(installed);
        GTEST_SKIP() << "libdns_sd.so.1 is installed on this machine: a scan adds no link-local route";
    }
    lan.AddLan("cameras");
    lan.AddHost("pc", "cameras", "eth1", {"192.168.60.2/24"});
    lan.AddHost("cams", "cameras", "eth0", {"169.254.7.7/16"});
    ASSERT_TRUE(lan.Ok());
    EmulatedCamera fresh = WebCam("Fresh", "02:e5:a1:00:09:07", "169.254.7.7");
    fresh.subnet = "255.255.0.0";
    auto cams = StartCameras("cams", {fresh});
    auto routes = [&] {
        std::string out;
        lan.Run("pc", {"ip", "-4", "route", "show"}, &out);
        return out;
    };
    const std::string before = routes();

    for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}}) {
        auto monitor = lan.Start("pc", {"ip", "-4", "monitor", "route"});
        auto window = lan.Start("pc", {"env", "QT_QPA_PLATFORM=offscreen", VANTREL_WINDOW});
        ASSERT_TRUE(monitor->WaitForText("169.254.0.0/16 dev eth1 proto 163", 60s)) << monitor->Output();
        window->Signal(signal);
        EXPECT_EQ(window->Wait(30s), status) << strsignal(signal);
        EXPECT_EQ(routes(), before) << strsignal(signal);
    }
}

}  // namespace
