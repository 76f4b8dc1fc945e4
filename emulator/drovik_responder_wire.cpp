#include "drovik_responder_wire.h"

namespace camsim::drovik {
namespace {

constexpr Ipv4 kNoAddress{0, 0, 0, 0};
constexpr Ipv4 kLimitedBroadcast{255, 255, 255, 255};

void putOption(std::vector<std::uint8_t>& out, std::uint8_t type, std::uint16_t length,
               std::span<const std::uint8_t> value) {
    out.push_back(type);
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.insert(out.end(), value.begin(), value.end());
}

void putOption(std::vector<std::uint8_t>& out, std::uint8_t type, std::span<const std::uint8_t> value) {
    putOption(out, type, static_cast<std::uint16_t>(value.size()), value);
}

void putText(std::vector<std::uint8_t>& out, std::uint8_t type, const std::string& text) {
    // Sent without a terminating NUL.
    putOption(out, type, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace

std::optional<DiscoveryRequest> parseDiscoveryRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kRequestSize) return std::nullopt;
    if (datagram[1] != kCodeDiscoveryRequest) return std::nullopt;
    return DiscoveryRequest{datagram[0], datagram[4], datagram[5]};
}

bool answersRequest(const Camera& cam, const DiscoveryRequest& request) {
    if (!cam.drovik) return false;
    if (cam.answer == AnswerMode::Every) return true;
    std::uint8_t last = cam.hwAddr.back();
    return request.rangeLow <= last && last <= request.rangeHigh;
}

std::vector<std::uint8_t> buildDiscoveryReply(const Camera& cam, std::uint8_t packetId, const Nonce& nonce) {
    std::vector<std::uint8_t> out;
    out.reserve(128);
    // 0-5: header
    out.insert(out.end(), {packetId, kCodeDiscoveryReply, 0, 0, 0, 0});
    // 6-11: hardware address; 12-27: nonce
    out.insert(out.end(), cam.hwAddr.begin(), cam.hwAddr.end());
    out.insert(out.end(), nonce.begin(), nonce.end());

    putOption(out, kOptIpAddr, cam.ip);
    putOption(out, kOptSubnet, cam.subnet);
    putOption(out, kOptGateway, cam.gateway);
    putText(out, kOptName, cam.name);
    if (cam.productCode) putText(out, kOptProductCode, *cam.productCode);
    putText(out, kOptProductName, cam.productName);
    putOption(out, kOptDhcp, std::array<std::uint8_t, 1>{cam.dhcp});
    if (cam.httpPort) {
        std::uint16_t port = *cam.httpPort;
        putOption(out, kOptHttpPort,
                  std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(port >> 8),
                                              static_cast<std::uint8_t>(port & 0xFF)});
    }
    for (const ExtraOption& extra : cam.extraOptions) {
        putOption(out, extra.type, extra.declaredLength.value_or(static_cast<std::uint16_t>(extra.value.size())),
                  extra.value);
    }
    if (!cam.noEndMarker) putOption(out, kOptEnd, {});
    return out;
}

Ipv4 replyDestination(const Camera& cam, const Ipv4& requester) {
    if (cam.ip == kNoAddress || requester == kNoAddress) return kLimitedBroadcast;
    return requester;
}

}  // namespace camsim::drovik
