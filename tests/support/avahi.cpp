#include "avahi.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

using namespace std::chrono_literals;

std::string AvahiDaemon::Unavailable() {
    if (access("/usr/sbin/avahi-daemon", X_OK) != 0) return "avahi-daemon is not installed";
    if (access("/usr/bin/unshare", X_OK) != 0) return "unshare (util-linux) is missing";
    return "";
}

AvahiDaemon::AvahiDaemon(TestLan& lan, const std::string& host, const std::string& link,
                         const std::vector<AvahiService>& services) {
    char dir[] = "/tmp/vantrel-avahi-XXXXXX";
    if (!mkdtemp(dir)) return;
    dir_ = dir;
    std::filesystem::create_directory(dir_ + "/services");
    std::ofstream(dir_ + "/avahi-daemon.conf") << "[server]\n"
                                                  "host-name="
                                               << host
                                               << "\n"
                                                  "use-ipv4=yes\nuse-ipv6=no\n"
                                                  "allow-interfaces="
                                               << link
                                               << "\n"
                                                  "enable-dbus=no\n"
                                                  "[wide-area]\nenable-wide-area=no\n"
                                                  "[publish]\npublish-workstation=no\npublish-hinfo=no\n";
    for (std::size_t i = 0; i < services.size(); ++i) {
        std::ofstream file(dir_ + "/services/s" + std::to_string(i) + ".service");
        file << "<?xml version=\"1.0\" standalone='no'?>\n"
                "<!DOCTYPE service-group SYSTEM \"avahi-service.dtd\">\n"
                "<service-group><name>"
             << services[i].name
             << "</name>\n"
                "<service><type>_http._tcp</type><port>"
             << services[i].port << "</port>\n";
        for (const std::string& t : services[i].txt) file << "<txt-record>" << t << "</txt-record>\n";
        file << "</service></service-group>\n";
    }
    process_ = lan.StartAvahi(host, dir_);
    if (!process_) return;
    ok_ = process_->WaitForText(services.empty() ? "Server startup complete" : "successfully established", 30s);
    if (!ok_) fprintf(stderr, "avahi-daemon did not come up:\n%s\n", process_->Output().c_str());
}

AvahiDaemon::~AvahiDaemon() {
    process_.reset();  // SIGTERM; avahi takes about 1.5 s to go
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
}
