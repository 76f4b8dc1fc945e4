#pragma once
// The replies of one broadcast discovery: up to kMaxReplies cameras are held;
// cameras that answer past that are counted, so the user learns how many
// were left out.
#include <cstdint>
#include <memory>
#include <set>
#include <utility>

#include "camera_record.h"
#include "drovik_wire.h"

namespace drovik {

class ReplyBook {
public:
    ReplyBook();

    // Where the next datagram is read to; HoldReply it there before Take.
    Reply& Slot() { return replies[held]; }

    enum class Taken : uint8_t { Dropped, Listed, NotListed };
    // Judges the reply held in Slot(), `arrival` its place among all replies
    // heard: Dropped for junk and repeats, Listed (and `record` filled) for a
    // new camera that found room, NotListed for a new camera past the limit.
    Taken Take(int arrival, CameraRecord& record);

    int Held() const { return held; }
    // Cameras that answered past the limit, each once.
    int NotListed() const { return static_cast<int>(unlisted.size()); }
    // Marks the duplicates and writes the held cameras' records; returns their number.
    int Build(CameraRecord* out);

private:
    // One slot past the limit, where replies are judged once the table is full.
    // Not zeroed: only the slots a site fills are ever touched.
    std::unique_ptr<Reply[]> replies = std::make_unique_for_overwrite<Reply[]>(kMaxReplies + 1);
    int held = 0;
    HwIndex byHw;
    std::set<std::pair<uint64_t, uint32_t>> unlisted;  // hardware address, sender
};

}  // namespace drovik
