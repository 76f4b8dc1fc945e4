#pragma once
// Camera side of the maker's broadcast discovery, as pure functions over
// byte buffers. The socket loop lives in drovik_responder.h.
//
// Discovery request (PC -> 255.255.255.255:43282), 8 bytes:
//   0  packet ID        1  code 1 (discovery request)   2-3  zero
//   4  range low end    5  range high end               6-7  zero
//
// Discovery reply (camera -> requester:43283):
//   0-5    header: packet ID, reply code, zeros (the PC does not read it)
//   6-11   hardware address
//   12-27  nonce, fresh for every reply
//   28-    options: type, 0, length (2 bytes big-endian), value;
//          ended by an option of type 0

#include "camera.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace camsim::drovik {

inline constexpr std::uint16_t kRequestPort = 43282;  // cameras listen here
inline constexpr std::uint16_t kReplyPort = 43283;    // PCs listen here

inline constexpr std::uint8_t kCodeDiscoveryRequest = 1;
inline constexpr std::uint8_t kCodeDiscoveryReply = 2;  // the PC ignores it; any value would do

inline constexpr std::size_t kRequestSize = 8;
inline constexpr std::size_t kReplyFixedSize = 28;
inline constexpr std::size_t kOptionHeaderSize = 4;

// Option types of a discovery reply.
enum OptionType : std::uint8_t {
    kOptEnd = 0,
    kOptIpAddr = 1,
    kOptSubnet = 2,
    kOptGateway = 3,
    kOptName = 4,
    kOptProductCode = 5,
    kOptProductName = 7,
    kOptDhcp = 8,
    kOptHttpPort = 11,
};

using Nonce = std::array<std::uint8_t, 16>;

struct DiscoveryRequest {
    std::uint8_t packetId = 0;
    std::uint8_t rangeLow = 0;
    std::uint8_t rangeHigh = 0;
};

// A discovery request, or nothing when the datagram is too short or carries
// another code.
std::optional<DiscoveryRequest> ParseDiscoveryRequest(std::span<const std::uint8_t> datagram);

// Whether the camera answers this request: never when it does not take part
// in the broadcast discovery, else as its AnswerMode says.
bool AnswersRequest(const Camera& cam, const DiscoveryRequest& request);

// The reply datagram for a camera: header and options. packetId echoes the request's.
std::vector<std::uint8_t> BuildDiscoveryReply(const Camera& cam, std::uint8_t packetId, const Nonce& nonce);

// Where the reply goes (always to kReplyPort): back to the requester, or to
// the limited broadcast when the camera has no address yet (it could not be
// answered by unicast) or the requester's address is unknown.
Ipv4 ReplyDestination(const Camera& cam, const Ipv4& requester);

}  // namespace camsim::drovik
