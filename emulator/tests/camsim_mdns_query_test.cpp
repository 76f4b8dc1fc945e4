// Which datagrams on port 5353 a camera answers: only queries for
// _http._tcp.local of type PTR or ANY. Everything else on a busy LAN, and
// anything malformed, is left alone.

#include "mdns_answer_wire.h"
#include "mdns_message_walk.h"
#include "mdns_noise_wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace camsim::mdns {
namespace {

using testing::Bytes;

// The PC's query, as it sends it: 34 bytes.
// clang-format off
const Bytes kPcQuery = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // ID, flags, QD 1
    5, '_', 'h', 't', 't', 'p', 4, '_', 't', 'c', 'p', 5, 'l', 'o', 'c', 'a', 'l', 0,
    0x00, 0x0c,  // PTR
    0x00, 0x01,  // IN
};
// clang-format on

Bytes WithBytes(Bytes b, std::size_t at, const Bytes& values) {
    for (std::uint8_t v : values) b.at(at++) = v;
    return b;
}

// The PC's query with a few bytes changed: which variants a camera answers.
TEST(MdnsQuery, OnlyQueriesForTheWebServiceAreAnswered) {
    const struct {
        std::size_t at;
        Bytes bytes;
        bool answered;
    } variants[] = {
        {0, {0x00, 0x00}, true},                // the query as the PC sends it
        {30, {0x00, 0xff}, true},               // type ANY
        {32, {0x80, 0x01}, true},               // unicast answer asked for
        {32, {0x00, 0xff}, true},               // class ANY
        {13, {'_', 'H', 'T', 'T', 'P'}, true},  // case does not matter
        {0, {0x12, 0x34}, true},                // any ID
        {30, {0x00, 0x01}, false},              // A
        {30, {0x00, 0x21}, false},              // SRV
        {32, {0x00, 0x03}, false},              // class CH
        {19, {'_', 'u', 'd', 'p'}, false},
        {2, {0x84, 0x00}, false},  // QR set
        {2, {0x80, 0x00}, false},
        {2, {0x28, 0x00}, false},  // opcode 5 (update)
        {4, {0x00, 0x00}, false},  // no question
    };
    for (const auto& v : variants) {
        EXPECT_EQ(AsksForWebService(WithBytes(kPcQuery, v.at, v.bytes)), v.answered)
            << ::testing::PrintToString(v.bytes) << " at " << v.at;
    }

    Bytes trailing = kPcQuery;  // a known-answer record after the question is no reason to stay quiet
    trailing.insert(trailing.end(), {0xc0, 0x0c, 0x00, 0x0c, 0x00, 0x01});
    EXPECT_TRUE(AsksForWebService(trailing));

    // _http._tcp.local.example: same start, longer name.
    // clang-format off
    Bytes longer = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                    5, '_', 'h', 't', 't', 'p', 4, '_', 't', 'c', 'p', 5, 'l', 'o', 'c', 'a', 'l',
                    7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 0, 0x00, 0x0c, 0x00, 0x01};
    // clang-format on
    EXPECT_FALSE(AsksForWebService(longer));

    // Every camera hears the others' answers and the LAN's announcements and queries.
    Camera cam;
    cam.name = "Lobby";
    cam.hwAddr = {0x02, 0xe5, 0xa1, 0x00, 0x00, 0x01};
    EXPECT_FALSE(AsksForWebService(BuildAnswer(cam).bytes));
    EXPECT_FALSE(AsksForWebService(OfficeMessage(3)));
    EXPECT_FALSE(AsksForWebService(OfficeMessage(4)));
}

TEST(MdnsQuery, CompressedQuestionNameIsFollowed) {
    // Two questions; the second, _http + pointer to "_tcp.local" of the first.
    // clang-format off
    const Bytes query = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        4, '_', 'i', 'p', 'p', 4, '_', 't', 'c', 'p', 5, 'l', 'o', 'c', 'a', 'l', 0,  // 12; "_tcp" at 17
        0x00, 0x0c, 0x00, 0x01,
        5, '_', 'h', 't', 't', 'p', 0xc0, 17,
        0x00, 0x0c, 0x00, 0x01,
    };
    // clang-format on
    EXPECT_TRUE(AsksForWebService(query));
    // The same pointer aimed one byte off lands inside a label: another name.
    EXPECT_FALSE(AsksForWebService(WithBytes(query, 40, {18})));
}

TEST(MdnsQuery, MalformedQueriesAreNotAnswered) {
    for (std::size_t size = 0; size < kPcQuery.size(); ++size) {
        EXPECT_FALSE(AsksForWebService(Bytes(kPcQuery.begin(), kPcQuery.begin() + static_cast<long>(size))))
            << "cut to " << size << " bytes";
    }
    // A second question promised but missing: the first still counts.
    EXPECT_TRUE(AsksForWebService(WithBytes(kPcQuery, 4, {0x00, 0x02})));
    // ... unless the missing one comes first.
    Bytes ipp = OfficeMessage(4);
    Bytes both = WithBytes(ipp, 4, {0x00, 0x02});
    EXPECT_FALSE(AsksForWebService(both));

    const Bytes header = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    auto query = [&](Bytes name) {
        Bytes q = header;
        q.insert(q.end(), name.begin(), name.end());
        q.insert(q.end(), {0x00, 0x0c, 0x00, 0x01});
        return q;
    };
    EXPECT_FALSE(AsksForWebService(query({0xc0, 12})));                  // points at itself
    EXPECT_FALSE(AsksForWebService(query({0xc0, 14})));                  // points forward
    EXPECT_FALSE(AsksForWebService(query({1, 'a', 0xc0, 12})));          // loops back onto its own start
    EXPECT_FALSE(AsksForWebService(query({0x40, '_', 'h', 0})));         // reserved label type
    EXPECT_FALSE(AsksForWebService(query({0x3f, '_', 'h', 't', 't'})));  // label runs past the end
    Bytes huge;  // 5 * 52 bytes of labels: longer than any DNS name
    for (int i = 0; i < 52; ++i) huge.insert(huge.end(), {4, 'a', 'b', 'c', 'd'});
    huge.push_back(0);
    EXPECT_FALSE(AsksForWebService(query(huge)));
}

TEST(MdnsNoise, ForeignMessagesAreWellFormedAndNoCamera) {
    // clang-format off
    const Bytes expectedQuery = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        4, '_', 'i', 'p', 'p', 4, '_', 't', 'c', 'p', 5, 'l', 'o', 'c', 'a', 'l', 0,
        0x00, 0x0c, 0x00, 0x01,
    };
    // clang-format on
    EXPECT_EQ(OfficeMessage(4), expectedQuery);

    auto walked = testing::WalkMessage(OfficeMessage(3));
    ASSERT_EQ(walked.problem, "");
    EXPECT_EQ(walked.flags, 0x8400);
    EXPECT_TRUE(walked.questions.empty());
    ASSERT_EQ(walked.answers.size(), 1u);
    ASSERT_EQ(walked.additionals.size(), 1u);
    EXPECT_EQ(walked.answers[0].type, 12);
    EXPECT_EQ(walked.answers[0].owner, "_printer._tcp.local");
    // No hyphen: no reading of the name can find the maker's OUI in it.
    ASSERT_EQ(walked.answers[0].names, (std::vector<std::string>{"Office Printer._printer._tcp.local"}));
    EXPECT_EQ(walked.additionals[0].type, 16);
    EXPECT_EQ(walked.additionals[0].owner, "Office Printer._printer._tcp.local");

    // The answers a camera's TXT texts alone would not tell apart from a camera's.
    auto txtOnly = testing::WalkMessage(OfficeMessage(0));
    ASSERT_EQ(txtOnly.problem, "");
    ASSERT_EQ(txtOnly.answers.size(), 1u);
    EXPECT_EQ(txtOnly.answers[0].type, 16);
    auto ipp = testing::WalkMessage(OfficeMessage(1));
    ASSERT_EQ(ipp.problem, "");
    ASSERT_EQ(ipp.answers.size(), 3u);
    EXPECT_EQ(ipp.answers[1].type, 33);
    EXPECT_EQ(ipp.answers[2].owner, "_ipp._tcp.local");
    auto web = testing::WalkMessage(OfficeMessage(2));
    ASSERT_EQ(web.problem, "");
    ASSERT_EQ(web.additionals.size(), 2u);
    EXPECT_EQ(web.answers[0].names, (std::vector<std::string>{"Storage._http._tcp.local"}));
    EXPECT_EQ(OfficeMessage(9), OfficeMessage(4));
}

}  // namespace
}  // namespace camsim::mdns
