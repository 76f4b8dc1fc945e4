// Fuzz target of the broadcast reply collection: one input is the datagrams
// of one discovery, each as
//   length (2 bytes, big-endian) | copies (1 byte) | its bytes, cut to what the input holds
// The copies byte's low 7 bits count the further copies; with its high bit
// set, copy k has k added to the last two bytes of its hardware address, so
// that a few chunks fill the reply table with distinct cameras (the slowest
// inputs: the duplicate scan compares every pair). The datagrams go
// through the steps of CDrovik::Discover: each is read into the next free
// slot (cut to the slot) and held or not, and a held one accepted or not as
// it comes in, until the table is full; then duplicates are marked and the
// records built, which must be the accepted ones.
#include <array>
#include <set>

#include "discovery/drovik_wire.h"
#include "fuzz_target.h"

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

int DrovikCollectionTarget(const uint8_t* data, std::size_t size) {
    static drovik::Reply replies[drovik::kMaxReplies];
    static CameraRecord out[drovik::kMaxReplies], accepted[drovik::kMaxReplies];
    ASAN_UNPOISON_MEMORY_REGION(replies, sizeof replies);
    int held = 0, offered = 0;  // offered: datagrams long enough to be replies
    int streamed = 0;
    std::size_t at = 0;
    while (size - at >= 3 && held < drovik::kMaxReplies) {
        const std::size_t declared = std::size_t{data[at]} << 8 | data[at + 1];
        const int copies = 1 + (data[at + 2] & 0x7F);
        const bool distinct = data[at + 2] & 0x80;
        at += 3;
        const std::size_t length = declared < size - at ? declared : size - at;
        const uint8_t* datagram = data + at;
        at += length;
        for (int k = 0; k < copies && held < drovik::kMaxReplies; ++k) {
            drovik::Reply& slot = replies[held];
            ASAN_UNPOISON_MEMORY_REGION(slot.bytes, sizeof slot.bytes);
            const std::size_t n = length < sizeof slot.bytes ? length : sizeof slot.bytes;
            std::memcpy(slot.bytes, datagram, n);
            if (distinct && k > 0 && n >= 12) {
                const unsigned last = ((slot.bytes[10] << 8 | slot.bytes[11]) + k) & 0xFFFF;
                slot.bytes[10] = static_cast<uint8_t>(last >> 8);
                slot.bytes[11] = static_cast<uint8_t>(last);
            }
            // Whatever lies in the slot past the datagram is not the datagram's: reading it is a fault.
            ASAN_POISON_MEMORY_REGION(slot.bytes + n, sizeof slot.bytes - n);
            const sockaddr_in from{};
            const bool kept = drovik::HoldReply(slot, n, from);
            FUZZ_CHECK(kept == (n >= drovik::kFixedPart));
            if (!kept) continue;
            FUZZ_CHECK(slot.length == n && !slot.duplicate);
            if (drovik::AcceptReply(replies, held, accepted[streamed])) CheckRecord(accepted[streamed++]);
            ++offered;
            ++held;
        }
    }
    FUZZ_CHECK(held == offered && held <= drovik::kMaxReplies);

    drovik::MarkDuplicates(replies, held);
    const int n = drovik::BuildRecords(replies, held, out);
    // The first reply of each hardware address, of the maker's cameras only, in order of arrival.
    std::set<std::array<uint8_t, 6>> seen;
    int expected = 0;
    for (int i = 0; i < held; ++i) {
        const uint8_t* hw = replies[i].bytes + drovik::kHwAddrAt;
        const bool first = seen.insert({hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]}).second;
        FUZZ_CHECK(replies[i].duplicate == !first);
        if (!first || !drovik::HasMakerOui(hw)) continue;
        if (expected < n) {
            const CameraRecord& r = out[expected];
            CheckRecord(r);
            FUZZ_CHECK(r.foundByDrovik == 1 && std::memcmp(r.hwAddr, hw, 6) == 0 &&
                       std::memcmp(r.nonce, replies[i].bytes + 12, 16) == 0);
        }
        ++expected;
    }
    FUZZ_CHECK(n == expected);
    // The records told as the replies came in are the table's, in its order.
    FUZZ_CHECK(streamed == n);
    for (int i = 0; i < n && i < streamed; ++i)
        FUZZ_CHECK(std::memcmp(accepted[i].hwAddr, out[i].hwAddr, 6) == 0 &&
                   std::strcmp(accepted[i].name, out[i].name) == 0 &&
                   std::strcmp(accepted[i].webAddr, out[i].webAddr) == 0 && accepted[i].dhcp == out[i].dhcp &&
                   accepted[i].productCode == out[i].productCode && accepted[i].foundByDrovik == 1);
    ASAN_UNPOISON_MEMORY_REGION(replies, sizeof replies);
    return n;
}
