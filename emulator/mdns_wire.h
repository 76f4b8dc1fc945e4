#pragma once
// Multicast DNS facts the cameras' responder and the noise host share.

#include "camera.h"
#include "dns_message.h"

#include <cstdint>

namespace camsim::mdns {

inline constexpr std::uint16_t kPort = 5353;
inline constexpr Ipv4 kGroup{224, 0, 0, 251};

// Every record the cameras send lives this long in a listener's cache.
inline constexpr std::uint32_t kTtl = 120;
// A response: QR and AA set, as every multicast DNS response carries.
inline constexpr std::uint16_t kResponseFlags = dns::kFlagResponse | dns::kFlagAuthoritative;

// Largest message multicast DNS allows, even over jumbo frames: 9000 bytes
// of IP packet less the IPv4 and UDP headers.
inline constexpr std::size_t kMaxMessage = 9000 - 20 - 8;

// The service every camera's web server is announced as.
inline const dns::Name kWebService{"_http", "_tcp", "local"};

}  // namespace camsim::mdns
