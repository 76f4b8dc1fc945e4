#include "address_probe_wire.h"

#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>

namespace platform {
namespace {

constexpr uint8_t kArpHeader[6] = {0x00, 0x01, 0x08, 0x00, 6, 4};  // Ethernet, IPv4, their lengths
constexpr uint16_t kArpRequest = 1, kArpReply = 2;

}  // namespace

ArpPacket MakeArpProbe(const uint8_t senderHw[6], in_addr target) {
    ArpPacket packet{};
    std::memcpy(packet.data(), kArpHeader, sizeof kArpHeader);
    packet[6] = 0;
    packet[7] = kArpRequest;
    std::memcpy(&packet[8], senderHw, 6);
    // Sender IP (14-17) and target hardware (18-23) stay zero.
    std::memcpy(&packet[24], &target, 4);
    return packet;
}

bool ReadArpReply(const uint8_t* packet, std::size_t length, in_addr address, uint8_t senderHw[6]) {
    // Frames from real NICs carry padding after the 28 bytes: longer is fine.
    if (length < kArpBytes || std::memcmp(packet, kArpHeader, sizeof kArpHeader) != 0) return false;
    if (packet[6] != 0 || packet[7] != kArpReply || std::memcmp(&packet[14], &address, 4) != 0) return false;
    std::memcpy(senderHw, &packet[8], 6);
    return true;
}

bool ReadNeighbour(const uint8_t* message, std::size_t length, NeighbourEntry& entry) {
    nlmsghdr header;
    ndmsg neighbour;
    if (length < NLMSG_HDRLEN + sizeof neighbour) return false;
    std::memcpy(&header, message, sizeof header);
    if (header.nlmsg_type != RTM_NEWNEIGH || header.nlmsg_len < NLMSG_HDRLEN + sizeof neighbour ||
        header.nlmsg_len > length)
        return false;
    std::memcpy(&neighbour, message + NLMSG_HDRLEN, sizeof neighbour);
    if (neighbour.ndm_family != AF_INET) return false;

    entry = NeighbourEntry{};
    entry.linkIndex = neighbour.ndm_ifindex;
    entry.state = neighbour.ndm_state;
    bool hasAddress = false;
    std::size_t at = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof neighbour);
    while (at + sizeof(rtattr) <= header.nlmsg_len) {
        rtattr attribute;
        std::memcpy(&attribute, message + at, sizeof attribute);
        if (attribute.rta_len < sizeof attribute || attribute.rta_len > header.nlmsg_len - at) return false;
        const uint8_t* data = message + at + RTA_LENGTH(0);
        const std::size_t size = attribute.rta_len - RTA_LENGTH(0);
        if (attribute.rta_type == NDA_DST && size == 4) {
            std::memcpy(&entry.address, data, 4);
            hasAddress = true;
        } else if (attribute.rta_type == NDA_LLADDR && size == 6) {
            std::memcpy(entry.hwAddr, data, 6);
            entry.hasHwAddr = true;
        } else if (attribute.rta_type == NDA_CACHEINFO && size >= sizeof(nda_cacheinfo)) {
            nda_cacheinfo times;
            std::memcpy(&times, data, sizeof times);
            entry.confirmedAgeTicks = times.ndm_confirmed;
            entry.hasCacheInfo = true;
        }
        at += RTA_ALIGN(attribute.rta_len);
    }
    return hasAddress;
}

}  // namespace platform
