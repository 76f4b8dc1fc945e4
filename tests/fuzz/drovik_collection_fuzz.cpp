// Fuzz target of the broadcast reply collection: one input is the datagrams
// of one discovery, each as
//   length (2 bytes, big-endian) | copies (1 byte) | its bytes, cut to what the input holds
// The copies byte's low 7 bits count the further copies; with its high bit
// set, copy k has k added to the last two bytes of its hardware address, so
// that a few chunks fill the reply table with distinct cameras (the slowest
// inputs: the duplicate scan compares every pair). A datagram's first bytes,
// which the reader skips, name its sender (bytes 0-3) and its pass (byte 4:
// low two bits, or -1 with the high bit set). The datagrams go through the
// steps of CDrovik::Discover: each is read into the next free slot (cut to
// the slot) and held or not, then keeps its slot or not, until the table is
// full; then duplicates are marked and the records built, which must be the
// accepted ones.
#include <array>
#include <set>

#include "drovik_wire.h"
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

namespace {

using Hw = std::array<uint8_t, 6>;

Hw HwOf(const drovik::Reply& r) {
    const uint8_t* hw = r.bytes + drovik::kHwAddrAt;
    return {hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]};
}

}  // namespace

int DrovikCollectionTarget(const uint8_t* data, std::size_t size) {
    static drovik::Reply replies[drovik::kMaxReplies];
    static CameraRecord out[drovik::kMaxReplies], accepted[drovik::kMaxReplies];
    ASAN_UNPOISON_MEMORY_REGION(replies, sizeof replies);
    int held = 0, arrival = 0;
    int streamed = 0;
    drovik::HwIndex byHw;  // as the discovery keeps it: the held replies by address
    std::set<Hw> offered;  // the maker's hardware addresses heard while the table had room
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
            sockaddr_in from{};
            if (n >= 4) std::memcpy(&from.sin_addr, slot.bytes, 4);
            const int8_t pass = n < 5 ? 0 : (slot.bytes[4] & 0x80 ? -1 : slot.bytes[4] & 3);
            const bool kept = drovik::HoldReply(slot, n, from, pass);
            FUZZ_CHECK(kept == (n >= drovik::kFixedPart));
            if (!kept) continue;
            FUZZ_CHECK(slot.length == n && !slot.duplicate && !slot.conflict && slot.pass == pass);
            const bool camera = drovik::HasMakerOui(slot.bytes + drovik::kHwAddrAt);
            if (camera) offered.insert(HwOf(slot));
            const bool taken = drovik::AcceptReply(replies, held, arrival++, accepted[streamed], &byHw);
            // Junk and other makers' devices never take a slot.
            FUZZ_CHECK(!taken || camera);
            if (!taken) continue;
            CheckRecord(accepted[streamed++]);
            byHw[drovik::HwKey(slot)].push_back(held);
            ++held;
        }
    }
    FUZZ_CHECK(held <= drovik::kMaxReplies);
    // A flood takes no camera's place: every camera heard is held while there is room.
    std::set<Hw> listed;
    for (int i = 0; i < held; ++i) listed.insert(HwOf(replies[i]));
    FUZZ_CHECK(held == drovik::kMaxReplies || listed == offered);

    drovik::MarkDuplicates(replies, held);
    const int n = drovik::BuildRecords(replies, held, out);
    // Every held reply is a maker's camera and a record, in order of arrival;
    // an address is held at most twice, and twice only as a conflicting pair
    // from two senders or with two challenges in one pass.
    FUZZ_CHECK(n == held);
    for (int i = 0; i < held && i < n; ++i) {
        const drovik::Reply& reply = replies[i];
        const CameraRecord& r = out[i];
        CheckRecord(r);
        FUZZ_CHECK(!reply.duplicate && drovik::HasMakerOui(reply.bytes + drovik::kHwAddrAt));
        FUZZ_CHECK(r.foundByDrovik == 1 && std::memcmp(r.hwAddr, reply.bytes + drovik::kHwAddrAt, 6) == 0 &&
                   std::memcmp(r.nonce, reply.bytes + 12, 16) == 0);
        int same = 0;
        for (int j = 0; j < held; ++j) {
            if (j == i || HwOf(replies[j]) != HwOf(reply)) continue;
            ++same;
            const drovik::Reply& other = replies[j];
            const bool otherSender = other.from.sin_addr.s_addr != reply.from.sin_addr.s_addr;
            const bool otherChallenge =
                std::memcmp(other.bytes + 12, reply.bytes + 12, 16) != 0 && other.pass == reply.pass && reply.pass >= 0;
            FUZZ_CHECK(otherSender || otherChallenge);
        }
        FUZZ_CHECK(same <= 1 && reply.conflict == (same == 1) && r.conflict == (same == 1 ? 1 : 0));
    }
    // The records told as the replies came in are the table's, in its order
    // (the first of a conflicting pair was told before its second came).
    FUZZ_CHECK(streamed == n);
    for (int i = 0; i < n && i < streamed; ++i)
        FUZZ_CHECK(std::memcmp(accepted[i].hwAddr, out[i].hwAddr, 6) == 0 &&
                   std::strcmp(accepted[i].name, out[i].name) == 0 &&
                   std::strcmp(accepted[i].webAddr, out[i].webAddr) == 0 && accepted[i].dhcp == out[i].dhcp &&
                   accepted[i].productCode == out[i].productCode && accepted[i].foundByDrovik == 1);
    ASAN_UNPOISON_MEMORY_REGION(replies, sizeof replies);
    return n;
}
