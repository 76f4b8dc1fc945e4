#include "drovik_assign_wire.h"

#include "drovik_responder_wire.h"

#include <algorithm>

namespace camsim::drovik {
namespace {

constexpr std::size_t kDigestAt = 4;
constexpr std::size_t kTargetAt = 20;
constexpr std::size_t kRebootAt = 26;
constexpr std::size_t kOptionsAt = 28;

std::vector<std::uint8_t> Reply(std::uint8_t packetId, std::uint8_t code, std::uint8_t status) {
    std::vector<std::uint8_t> out(kAssignReplySize, 0);
    out[0] = packetId;
    out[1] = code;
    out[4] = status;
    return out;
}

}  // namespace

std::optional<AssignRequest> ParseAssignRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kOptionsAt || datagram[1] != kCodeAssignRequest) return std::nullopt;
    AssignRequest request;
    request.packetId = datagram[0];
    std::copy_n(datagram.begin() + kDigestAt, request.digest.size(), request.digest.begin());
    std::copy_n(datagram.begin() + kTargetAt, request.target.size(), request.target.begin());
    request.reboot = datagram[kRebootAt] == 1;

    std::span<const std::uint8_t> rest = datagram.subspan(kOptionsAt);
    while (rest.size() >= kOptionHeaderSize && rest[0] != kOptEnd) {
        const std::uint8_t type = rest[0];
        const std::size_t length = std::size_t{rest[2]} << 8 | rest[3];
        if (rest.size() < kOptionHeaderSize + length) return std::nullopt;
        std::span<const std::uint8_t> value = rest.subspan(kOptionHeaderSize, length);
        rest = rest.subspan(kOptionHeaderSize + length);

        std::optional<Ipv4>* address = type == kOptIpAddr    ? &request.ip
                                       : type == kOptSubnet  ? &request.subnet
                                       : type == kOptGateway ? &request.gateway
                                                             : nullptr;
        if (address) {
            if (length != 4) return std::nullopt;
            *address = Ipv4{value[0], value[1], value[2], value[3]};
        } else if (type == kOptDhcp) {
            if (length != 1) return std::nullopt;
            request.dhcp = value[0];
        }
        // Other types carry nothing a camera applies.
    }
    return request;
}

void RecentNonces::Add(const Nonce& nonce) {
    nonces_.push_back(nonce);
    if (nonces_.size() > kKept) nonces_.pop_front();
}

bool RecentNonces::Proves(const Digest& digest, const std::string& password) const {
    return std::any_of(nonces_.begin(), nonces_.end(),
                       [&](const Nonce& nonce) { return CredentialsDigest(nonce, password) == digest; });
}

AssignOutcome Assign(Camera& cam, const RecentNonces& recent, const AssignRequest& request) {
    AssignOutcome outcome;
    if (request.target != cam.hwAddr || cam.assignReply == AssignReply::Silent) return outcome;

    std::uint8_t status = kAssignDone;
    if (!recent.Proves(request.digest, cam.password)) {
        status = kAssignWrongPassword;
    } else if (cam.assignReply == AssignReply::Refuse) {
        status = kAssignRefused;
    } else {
        if (request.ip) cam.ip = *request.ip;
        if (request.subnet) cam.subnet = *request.subnet;
        if (request.gateway) cam.gateway = *request.gateway;
        if (request.dhcp) cam.dhcp = *request.dhcp;
        outcome.applied = true;
        if (cam.assignReply == AssignReply::Status7) status = 7;
    }

    const std::uint8_t code = cam.assignReply == AssignReply::Code4 ? 4 : kCodeAssignReply;
    for (unsigned i = 0; i < cam.assignWrongIds; ++i) {
        outcome.replies.push_back(Reply(static_cast<std::uint8_t>(request.packetId + 1), code, status));
    }
    outcome.replies.push_back(Reply(request.packetId, code, status));
    return outcome;
}

}  // namespace camsim::drovik
