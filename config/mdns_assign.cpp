// The HTTP assignment of CMdns: one set.oid request that writes the network
// OIDs, through a host route to the camera by the link it answered on.
#include <arpa/inet.h>

#include <cstring>
#include <memory>
#include <string>

#include "assign_result.h"
#include "camera_actions.h"
#include "debug_trace.h"
#include "mdns.h"
#include "routes.h"
#include "url_value.h"
#include "web_client.h"

namespace {

// The camera's /32 for the life of the object (see AddRouteToCamera).
class HostRoute {
public:
    explicit HostRoute(const CameraRecord& record) : link_(camera_actions::AddRouteToCamera(record, "Assign")) {
        inet_pton(AF_INET, record.ipAddrText, &camera_);
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

uint8_t CMdns::Assign(const CameraRecord& record, const char* ipText, const char* subnetText, const char* gatewayText,
                      uint8_t dhcp, uint8_t reboot) {
    CWebClient client;
    const HostRoute route(record);
    const std::string url = std::string("http://") + camera_model::kUrlUserInfo + record.webAddr + "/set.oid?" +
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
