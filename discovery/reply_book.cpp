#include "reply_book.h"

namespace drovik {

ReplyBook::ReplyBook() = default;

ReplyBook::Taken ReplyBook::Take(int arrival, CameraRecord& record) {
    Reply& slot = replies[held];
    if (!AcceptReply(replies.get(), held, arrival, record, &byHw)) return Taken::Dropped;
    if (held == kMaxReplies) {
        // A camera past the limit is news once: its repeats are not counted again.
        return unlisted.insert({HwKey(slot), slot.from.sin_addr.s_addr}).second ? Taken::NotListed : Taken::Dropped;
    }
    byHw[HwKey(slot)].push_back(held);
    ++held;
    return Taken::Listed;
}

int ReplyBook::Build(CameraRecord* out) {
    MarkDuplicates(replies.get(), held);
    return BuildRecords(replies.get(), held, out);
}

}  // namespace drovik
