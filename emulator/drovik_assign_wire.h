#pragma once
// Camera side of the maker's broadcast assignment, as pure functions. The
// discovery socket (drovik_responder.h) hands over the requests with code 3.
//
// Assignment request (PC:43282 -> 255.255.255.255:43282):
//   0      packet ID       1  code 3        2-3  zero
//   4-19   digest (camera_credentials.h) over the nonce of one of the
//          target's discovery replies
//   20-25  target hardware address          26   reboot (1 or 0)   27  zero
//   28-    options as in the discovery reply, ended by type 0:
//          1 IP, 2 subnet, 3 gateway (4 bytes each), 8 dhcp (1 byte)
//          fixed address: 1, 2, 3 and 8 = 0 (61 bytes); DHCP: 8 = 1 alone (37 bytes)
//
// Assignment reply (camera -> requester:43283), 8 bytes:
//   0  packet ID echoed   1  code 5   2-3  zero
//   4  status: 0 done, 1 refused, 2 wrong password   5-7  zero

#include "camera.h"
#include "camera_credentials.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camsim::drovik {

inline constexpr std::uint8_t kCodeAssignRequest = 3;
inline constexpr std::uint8_t kCodeAssignReply = 5;
inline constexpr std::size_t kAssignReplySize = 8;

enum AssignStatus : std::uint8_t {
    kAssignDone = 0,
    kAssignRefused = 1,
    kAssignWrongPassword = 2,
};

struct AssignRequest {
    std::uint8_t packetId = 0;
    Digest digest{};
    HwAddr target{};
    bool reboot = false;
    std::optional<Ipv4> ip;
    std::optional<Ipv4> subnet;
    std::optional<Ipv4> gateway;
    std::optional<std::uint8_t> dhcp;
};

// An assignment request, or nothing when the datagram carries another code,
// is too short, or has an option that runs past its end or an address or
// dhcp option of the wrong length.
std::optional<AssignRequest> ParseAssignRequest(std::span<const std::uint8_t> datagram);

// The nonces of a camera's last discovery replies. A PC keeps the first reply
// of a camera that answers several passes, so an assignment may prove the
// password over any recent one, not just the last.
class RecentNonces {
public:
    static constexpr std::size_t kKept = 8;
    void Add(const Nonce& nonce);
    // Whether digest is the credentials digest over one of them.
    bool Proves(const Digest& digest, const std::string& password) const;

private:
    std::deque<Nonce> nonces_;
};

struct AssignOutcome {
    bool applied = false;
    // Datagrams to send, in order; none when the camera stays silent.
    std::vector<std::vector<std::uint8_t>> replies;
};

// What `cam` does with an assignment: nothing unless it is the target;
// otherwise checks the digest, applies the settings when its assignReply
// allows, and builds its replies (the wrong-ID ones first).
AssignOutcome Assign(Camera& cam, const RecentNonces& recent, const AssignRequest& request);

}  // namespace camsim::drovik
