// The duplicate-address probe's packets, pinned with literal bytes.
#include "address_probe_wire.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/neighbour.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

in_addr Address(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a;
}

TEST(AddressProbeWire, ArpProbeAndTheRepliesThatAnswerIt) {
    const uint8_t ours[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    const platform::ArpPacket probe = platform::MakeArpProbe(ours, Address("10.77.0.60"));
    // clang-format off
    const platform::ArpPacket expected = {0x00, 0x01,                          // Ethernet
                                          0x08, 0x00,                          // IPv4
                                          6,    4,    0x00, 0x01,              // lengths, request
                                          0x02, 0x11, 0x22, 0x33, 0x44, 0x55,  // sender: this link
                                          0,    0,    0,    0,                 // sender IP 0.0.0.0
                                          0,    0,    0,    0,    0,    0,     // target hardware unknown
                                          10,   77,   0,    60};               // who has it
    // clang-format on
    EXPECT_EQ(probe, expected);

    // The device's reply, with the padding an Ethernet frame brings.
    Bytes reply = {0x00, 0x01, 0x08, 0x00, 6,    4,    0x00, 0x02, 0x02, 0xe5, 0xa1, 0x00, 0x03, 0x01,
                   10,   77,   0,    60,   0x02, 0x11, 0x22, 0x33, 0x44, 0x55, 0,    0,    0,    0};
    reply.resize(46, 0);
    uint8_t hw[6] = {};
    ASSERT_TRUE(platform::ReadArpReply(reply.data(), reply.size(), Address("10.77.0.60"), hw));
    EXPECT_EQ(Bytes(hw, hw + 6), (Bytes{0x02, 0xe5, 0xa1, 0x00, 0x03, 0x01}));

    uint8_t untouched[6] = {};
    EXPECT_FALSE(platform::ReadArpReply(reply.data(), reply.size(), Address("10.77.0.61"), untouched));
    EXPECT_FALSE(platform::ReadArpReply(reply.data(), 27, Address("10.77.0.60"), untouched));
    Bytes request = reply;
    request[7] = 1;  // another host asking for the address is no answer
    EXPECT_FALSE(platform::ReadArpReply(request.data(), request.size(), Address("10.77.0.60"), untouched));
    Bytes otherHardware = reply;
    otherHardware[1] = 6;  // IEEE 802: other field layout
    EXPECT_FALSE(platform::ReadArpReply(otherHardware.data(), otherHardware.size(), Address("10.77.0.60"), untouched));
    EXPECT_EQ(Bytes(untouched, untouched + 6), Bytes(6, 0));
}

TEST(AddressProbeWire, NeighbourMessageAndCutShort) {
    // RTM_NEWNEIGH (28) for 10.77.0.60 on link 3, REACHABLE, with its hardware
    // address and cache times (confirmed 7 ticks ago); little-endian host.
    // clang-format off
    const Bytes message = {
        68,   0,    0,    0,    28,   0,    0,    0,    1,    0,    0,    0,    0,    0,    0,    0,  // nlmsghdr
        2,    0,    0,    0,    3,    0,    0,    0,    0x02, 0,    0,    0,                        // ndmsg: AF_INET, link 3, NUD_REACHABLE
        8,    0,    1,    0,    10,   77,   0,    60,                                             // NDA_DST
        10,   0,    2,    0,    0x02, 0xe5, 0xa1, 0x00, 0x03, 0x01, 0,    0,                      // NDA_LLADDR, padded
        20,   0,    3,    0,    7,    0,    0,    0,    7,    0,    0,    0,                      // NDA_CACHEINFO: confirmed, used,
        9,    0,    0,    0,    1,    0,    0,    0};                                           // updated, refcnt
    // clang-format on
    ASSERT_EQ(message.size(), 68u);
    platform::NeighbourEntry entry;
    ASSERT_TRUE(platform::ReadNeighbour(message.data(), message.size(), entry));
    EXPECT_EQ(entry.address.s_addr, Address("10.77.0.60").s_addr);
    EXPECT_EQ(entry.linkIndex, 3);
    EXPECT_EQ(entry.state, NUD_REACHABLE);
    ASSERT_TRUE(entry.hasHwAddr);
    EXPECT_EQ(Bytes(entry.hwAddr, entry.hwAddr + 6), (Bytes{0x02, 0xe5, 0xa1, 0x00, 0x03, 0x01}));
    ASSERT_TRUE(entry.hasCacheInfo);
    EXPECT_EQ(entry.confirmedAgeTicks, 7u);

    // Whatever the buffer lacks of what the header or an attribute claims is refused.
    for (std::size_t cut : {0, 16, 27, 40, 67})
        EXPECT_FALSE(platform::ReadNeighbour(message.data(), cut, entry)) << cut;
    Bytes overlong = message;
    overlong[36] = 60;  // NDA_LLADDR claims more than the message holds
    EXPECT_FALSE(platform::ReadNeighbour(overlong.data(), overlong.size(), entry));
    Bytes ipv6 = message;
    ipv6[16] = 10;
    EXPECT_FALSE(platform::ReadNeighbour(ipv6.data(), ipv6.size(), entry));
    Bytes removed = message;
    removed[4] = 29;  // RTM_DELNEIGH
    EXPECT_FALSE(platform::ReadNeighbour(removed.data(), removed.size(), entry));
}

}  // namespace
