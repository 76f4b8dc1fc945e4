#include "drovik_responder_wire.h"

namespace camsim::drovik {
namespace {

constexpr Ipv4 kNoAddress{0, 0, 0, 0};
constexpr Ipv4 kLimitedBroadcast{255, 255, 255, 255};

void PutOption(std::vector<std::uint8_t>& out, std::uint8_t type, std::uint16_t length,
               std::span<const std::uint8_t> value) {
    out.push_back(type);
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.insert(out.end(), value.begin(), value.end());
}

void PutOption(std::vector<std::uint8_t>& out, std::uint8_t type, std::span<const std::uint8_t> value) {
    PutOption(out, type, static_cast<std::uint16_t>(value.size()), value);
}

void PutText(std::vector<std::uint8_t>& out, std::uint8_t type, const std::string& text) {
    // Sent without a terminating NUL.
    PutOption(out, type, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace

std::optional<DiscoveryRequest> ParseDiscoveryRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kRequestSize) return std::nullopt;
    if (datagram[1] != kCodeDiscoveryRequest) return std::nullopt;
    return DiscoveryRequest{datagram[0], datagram[4], datagram[5]};
}

bool AnswersRequest(const Camera& cam, const DiscoveryRequest& request) {
    if (!cam.drovik) return false;
    if (cam.answer == AnswerMode::Every) return true;
    std::uint8_t last = cam.hwAddr.back();
    return request.rangeLow <= last && last <= request.rangeHigh;
}

std::vector<std::uint8_t> BuildDiscoveryReply(const Camera& cam, std::uint8_t packetId, const Nonce& nonce) {
    std::vector<std::uint8_t> out;
    out.reserve(128);
    // 0-5: header
    out.insert(out.end(), {packetId, kCodeDiscoveryReply, 0, 0, 0, 0});
    // 6-11: hardware address; 12-27: nonce
    out.insert(out.end(), cam.hwAddr.begin(), cam.hwAddr.end());
    out.insert(out.end(), nonce.begin(), nonce.end());

    PutOption(out, kOptIpAddr, cam.ip);
    PutOption(out, kOptSubnet, cam.subnet);
    PutOption(out, kOptGateway, cam.gateway);
    PutText(out, kOptName, cam.name);
    if (cam.productCode) PutText(out, kOptProductCode, *cam.productCode);
    PutText(out, kOptProductName, cam.productName);
    PutOption(out, kOptDhcp, std::array<std::uint8_t, 1>{cam.dhcp});
    if (cam.httpPort) {
        std::uint16_t port = *cam.httpPort;
        PutOption(
            out, kOptHttpPort,
            std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port & 0xFF)});
    }
    for (const ExtraOption& extra : cam.extraOptions) {
        PutOption(out, extra.type, extra.declaredLength.value_or(static_cast<std::uint16_t>(extra.value.size())),
                  extra.value);
    }
    if (!cam.noEndMarker) PutOption(out, kOptEnd, {});
    return out;
}

Ipv4 ReplyDestination(const Camera& cam, const Ipv4& requester) {
    if (cam.ip == kNoAddress || requester == kNoAddress) return kLimitedBroadcast;
    return requester;
}

}  // namespace camsim::drovik
