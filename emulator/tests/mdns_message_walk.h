#pragma once
// The tests' own reading of a DNS message, kept apart from the emulator's
// code: walks header, questions and records, and checks every compression
// pointer on the way (it must land on the start of a label written earlier).

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace camsim::testing {

using Bytes = std::vector<std::uint8_t>;

struct WalkedRecord {
    std::string owner;  // dotted
    std::uint16_t type = 0;
    std::vector<std::string> names;  // names inside the data (PTR, SRV target, NSEC next), dotted
};

struct WalkedMessage {
    std::uint16_t flags = 0;
    std::vector<std::string> questions;  // dotted
    std::vector<WalkedRecord> answers, authorities, additionals;
    int pointers = 0;     // compression pointers written in the message
    std::string problem;  // empty when the whole message read cleanly
};

inline WalkedMessage WalkMessage(const Bytes& m) {
    WalkedMessage out;
    std::set<std::size_t> labelStarts;
    std::size_t at = 0;
    auto fail = [&](const std::string& why) {
        if (out.problem.empty()) out.problem = why + " at offset " + std::to_string(at);
    };
    auto u16 = [&]() -> std::uint16_t {
        if (at + 2 > m.size()) {
            fail("message ends inside a 16-bit field");
            return 0;
        }
        at += 2;
        return static_cast<std::uint16_t>(m[at - 2] << 8 | m[at - 1]);
    };
    // Reads the name at `at` (moving past its own bytes) and returns its text.
    auto name = [&]() -> std::string {
        std::string text;
        std::size_t pos = at;
        bool jumped = false;
        while (out.problem.empty() && pos < m.size()) {
            const std::uint8_t len = m[pos];
            if ((len & 0xC0) == 0xC0 && pos + 1 < m.size()) {
                const std::size_t target = static_cast<std::size_t>(len & 0x3F) << 8 | m[pos + 1];
                if (target >= pos || !labelStarts.count(target)) fail("pointer to " + std::to_string(target));
                if (!jumped) {
                    ++out.pointers;
                    at = pos + 2;
                }
                jumped = true;
                pos = target;
            } else if (len == 0) {
                if (!jumped) at = pos + 1;
                return text;
            } else if (len > 63 || pos + 1 + len > m.size()) {
                break;
            } else {
                if (!jumped) labelStarts.insert(pos);
                text += (text.empty() ? "" : ".") + std::string(m.begin() + static_cast<long>(pos) + 1,
                                                                m.begin() + static_cast<long>(pos) + 1 + len);
                pos += 1u + len;
            }
        }
        fail("bad name");
        return text;
    };
    auto record = [&]() {
        WalkedRecord r;
        r.owner = name();
        r.type = u16();
        at += 6;  // class, TTL
        const std::size_t length = u16(), dataAt = at;
        if (at + length > m.size()) fail("record data runs past the end");
        if (r.type == 33) at += 6;  // priority, weight, port
        if (r.type == 12 || r.type == 33 || r.type == 47) r.names.push_back(name());
        if ((r.type == 12 || r.type == 33) && at != dataAt + length) fail("name does not fill the record data");
        at = dataAt + length;
        return r;
    };

    u16();  // ID
    out.flags = u16();
    const std::uint16_t qd = u16(), an = u16(), ns = u16(), ar = u16();
    for (int i = 0; i < qd && out.problem.empty(); ++i) {
        out.questions.push_back(name());
        at += 4;  // type, class
    }
    for (int i = 0; i < an && out.problem.empty(); ++i) out.answers.push_back(record());
    for (int i = 0; i < ns && out.problem.empty(); ++i) out.authorities.push_back(record());
    for (int i = 0; i < ar && out.problem.empty(); ++i) out.additionals.push_back(record());
    if (out.problem.empty() && at != m.size()) fail("bytes left after the last record");
    return out;
}

}  // namespace camsim::testing
