// The HTTP assignment of CMdns: one set.oid request that writes the network
// OIDs, through a host route to the camera by the link it answered on.
#include <arpa/inet.h>

#include <cstring>
#include <memory>
#include <string>

#include "assign_result.h"
#include "debug_trace.h"
#include "mdns.h"
#include "ipv4_interfaces.h"
#include "routes.h"
#include "url_value.h"
#include "web_client.h"

namespace {

// A /32 to the camera through the link that holds the interface address it
// answered on, for the life of the object. Only toward the address the answer
// came from, and only where the PC has no /32 of its own for it: then the
// PC's route is used as it is and nothing is removed.
class HostRoute {
public:
    explicit HostRoute(const CameraRecord& record) {
        const in_addr iface = record.ifaceAddr.sin_addr;
        char ifaceText[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &iface, ifaceText, sizeof ifaceText);
        // The text came from the network: only a dotted address that sent the answer makes a route.
        if (!AnsweredFromOwnAddress(record)) {
            char from[INET_ADDRSTRLEN] = "";
            inet_ntop(AF_INET, &record.answeredFrom, from, sizeof from);
            DebugTrace("Assign: %s answered from %s: no host route", record.ipAddrText, from);
            return;
        }
        inet_pton(AF_INET, record.ipAddrText, &camera_);
        link_ = platform::LinkOfAddress(iface);
        if (link_ == 0) {
            DebugTrace("Assign: no link holds %s: no host route to %s", ifaceText, record.ipAddrText);
            return;
        }
        const platform::RouteOutcome outcome = platform::AddHostRoute(camera_, link_, iface);
        DebugTrace("Assign: host route to %s through %s: %s", record.ipAddrText, ifaceText,
                   platform::DescribeRouteOutcome(outcome).c_str());
        if (outcome.kind != platform::RouteOutcome::Added) link_ = 0;
    }
    ~HostRoute() {
        if (link_ != 0) platform::ReleaseHostRoute(camera_, link_);
    }
    HostRoute(const HostRoute&) = delete;
    HostRoute& operator=(const HostRoute&) = delete;

private:
    in_addr camera_{};
    unsigned link_ = 0;
};

}  // namespace

uint8_t CMdns::Assign(const CameraRecord& record, const char* ipText, const char* subnetText,
                      const char* gatewayText, uint8_t dhcp, uint8_t reboot) {
    CWebClient client;
    const HostRoute route(record);
    const std::string url = std::string("http://root:qivnep@") + record.webAddr + "/set.oid?" +
                            "OidTB3.6.2=" + EncodeUrlValue(gatewayText ? gatewayText : "") +
                            "&OidTB3.6.1=" + EncodeUrlValue(subnetText ? subnetText : "") +
                            "&OidTB3.6.10=" + EncodeUrlValue(ipText ? ipText : "") +
                            "&OidTB4.2=" + (dhcp ? "enabled" : "disabled") +
                            (reboot ? "&OidTR2.11=1" : "&OidTR3.6.22=1");
    std::unique_ptr<char[]> body;
    const int result = client.ReadURL(url.c_str(), body);
    // A camera restarting as it applies may cut its reply after the status: what arrived decides.
    if (CWebClient::Answered(result, client.statusCode) && !(body && std::strstr(body.get(), "%Error"))) {
        if (result != CWebClient::kFetched) DebugTrace("Assign: reply cut after status 200: taken as assigned");
        return kAssignSuccess;
    }
    DebugTrace("Assign: assignment failed");
    return kAssignFailure;
}
