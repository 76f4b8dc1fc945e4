#pragma once
// The duplicate-address probe's packets as pure functions over bytes: the ARP
// request it sends, the ARP reply it waits for, and the kernel's neighbour
// messages (rtnetlink) it reads when it may not send ARP itself.
#include <netinet/in.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// ARP for IPv4 over Ethernet, as it follows the Ethernet header (RFC 826):
//   0-1 hardware type 1 | 2-3 protocol 0x0800 | 4 hardware length 6 | 5 protocol length 4 |
//   6-7 operation (1 request, 2 reply) | 8-13 sender hardware | 14-17 sender IP |
//   18-23 target hardware | 24-27 target IP
inline constexpr std::size_t kArpBytes = 28;
using ArpPacket = std::array<uint8_t, kArpBytes>;

// Who-has `target`, from `senderHw` with sender IP 0.0.0.0 and target hardware
// zero: an RFC 5227 probe, which leaves nothing in the answering device's cache.
ArpPacket MakeArpProbe(const uint8_t senderHw[6], in_addr target);

// True when `packet` is an ARP reply sent by `address`; then `senderHw` holds
// the sender's hardware address.
bool ReadArpReply(const uint8_t* packet, std::size_t length, in_addr address, uint8_t senderHw[6]);

// One IPv4 entry of the kernel's neighbour table.
struct NeighbourEntry {
    in_addr address{};
    int linkIndex = 0;
    uint16_t state = 0;  // NUD_*
    bool hasHwAddr = false;
    uint8_t hwAddr[6] = {};
    bool hasCacheInfo = false;
    uint32_t confirmedAgeTicks = 0;  // clock ticks (USER_HZ) since the device last confirmed it
};

// Reads one rtnetlink message of at most `length` bytes, header included: true
// for an RTM_NEWNEIGH of an IPv4 address (dump answer or notification).
bool ReadNeighbour(const uint8_t* message, std::size_t length, NeighbourEntry& entry);

}  // namespace platform
