// Replays the committed fuzz corpora (valid, edge and malformed seeds, and
// every crash reproducer) through the readers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "discovery/drovik_wire.h"
#include "discovery/mdns_wire.h"
#include "trace_capture.h"

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Terminated(const char* field, std::size_t size) { return std::memchr(field, 0, size) != nullptr; }

TEST(CorpusReplay, DrovikReplies) {
    TraceCapture quiet;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VANTREL_CORPUS "/drovik_reply")) {
        std::vector<uint8_t> data = ReadFile(entry.path());
        drovik::Reply reply{};
        reply.length = std::min(data.size(), drovik::kReplyBytes);
        std::memcpy(reply.bytes, data.data(), reply.length);
        CameraRecord out{};
        const int n = drovik::BuildRecords(&reply, 1, &out);
        ++files;
        if (n == 0) continue;
        const CameraRecord& r = out;
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_TRUE(Terminated(r.name, sizeof r.name) && Terminated(r.productName, sizeof r.productName) &&
                    Terminated(r.ipAddrText, sizeof r.ipAddrText) && Terminated(r.webAddr, sizeof r.webAddr));
        EXPECT_EQ(std::string(r.webAddr), std::string(r.ipAddrText) + ":" + r.httpPortText);
    }
    EXPECT_GE(files, 10);
}

TEST(CorpusReplay, MdnsAnswers) {
    TraceCapture quiet;
    int files = 0, records = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VANTREL_CORPUS "/mdns_answer")) {
        std::vector<uint8_t> data = ReadFile(entry.path());
        data.resize(std::min(data.size(), mdns::kSlotBytes));
        CameraRecord out[4];
        sockaddr_in iface{};
        bool linkLocal = false;
        const int n = mdns::ReadAnswer(data.data(), data.size(), iface, out, 4, linkLocal);
        ++files;
        records += n;
        for (int i = 0; i < n; ++i) {
            SCOPED_TRACE(entry.path().filename().string());
            EXPECT_TRUE(Terminated(out[i].name, sizeof out[i].name) && Terminated(out[i].webAddr, sizeof out[i].webAddr));
        }
    }
    EXPECT_GE(files, 10);
    EXPECT_GE(records, 4);  // the valid and edge seeds still make cameras
}

}  // namespace
