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
    std::string owner;          // dotted
    std::uint16_t type = 0;
    std::uint16_t cls = 0;
    std::uint32_t ttl = 0;
    Bytes data;
    std::vector<std::string> names;  // names inside the data (PTR, SRV target, NSEC next), dotted
};

struct WalkedMessage {
    std::uint16_t id = 0, flags = 0;
    std::vector<std::string> questions;  // dotted
    std::vector<WalkedRecord> answers, authorities, additionals;
    int pointers = 0;                    // compression pointers written in the message
    std::string problem;                 // empty when the whole message read cleanly
};

inline WalkedMessage walkMessage(const Bytes& m) {
    WalkedMessage out;
    std::set<std::size_t> labelStarts;
    std::size_t at = 0;
    auto fail = [&](const std::string& why) {
        if (out.problem.empty()) out.problem = why + " at offset " + std::to_string(at);
    };
    auto u16 = [&]() -> std::uint16_t {
        if (at + 2 > m.size()) {
            fail("message ends inside a 16-bit field");
            at = m.size();
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
        for (int hops = 0; hops < 64 && out.problem.empty(); ++hops) {
            if (pos >= m.size()) {
                fail("name runs past the end");
                break;
            }
            std::uint8_t len = m[pos];
            if ((len & 0xC0) == 0xC0) {
                if (pos + 1 >= m.size()) {
                    fail("pointer cut off");
                    break;
                }
                std::size_t target = static_cast<std::size_t>(len & 0x3F) << 8 | m[pos + 1];
                if (target >= pos) fail("pointer to " + std::to_string(target) + " does not point back");
                if (!labelStarts.count(target)) fail("pointer to " + std::to_string(target) + " is not a label start");
                if (!jumped) {
                    ++out.pointers;
                    at = pos + 2;
                }
                jumped = true;
                pos = target;
                continue;
            }
            if (len == 0) {
                if (!jumped) at = pos + 1;
                return text;
            }
            if (len > 63 || pos + 1 + len > m.size()) {
                fail("bad label");
                break;
            }
            if (!jumped) labelStarts.insert(pos);
            text += (text.empty() ? "" : ".") + std::string(m.begin() + static_cast<long>(pos) + 1,
                                                            m.begin() + static_cast<long>(pos) + 1 + len);
            pos += 1u + len;
        }
        fail("name does not end");
        return text;
    };
    auto record = [&]() {
        WalkedRecord r;
        r.owner = name();
        r.type = u16();
        r.cls = u16();
        r.ttl = static_cast<std::uint32_t>(u16()) << 16;
        r.ttl |= u16();
        std::uint16_t length = u16();
        std::size_t dataAt = at;
        if (at + length > m.size()) {
            fail("record data runs past the end");
            return r;
        }
        r.data.assign(m.begin() + static_cast<long>(at), m.begin() + static_cast<long>(at + length));
        if (r.type == 12) r.names.push_back(name());
        if (r.type == 33) {
            at += 6;
            r.names.push_back(name());
        }
        if (r.type == 47) r.names.push_back(name());
        if (r.type == 12 || r.type == 33) {
            if (at != dataAt + length) fail("name does not fill the record data");
        }
        at = dataAt + length;
        return r;
    };

    out.id = u16();
    out.flags = u16();
    std::uint16_t qd = u16(), an = u16(), ns = u16(), ar = u16();
    for (int i = 0; i < qd && out.problem.empty(); ++i) {
        out.questions.push_back(name());
        u16();
        u16();
    }
    for (int i = 0; i < an && out.problem.empty(); ++i) out.answers.push_back(record());
    for (int i = 0; i < ns && out.problem.empty(); ++i) out.authorities.push_back(record());
    for (int i = 0; i < ar && out.problem.empty(); ++i) out.additionals.push_back(record());
    if (out.problem.empty() && at != m.size()) fail("bytes left after the last record");
    return out;
}

}  // namespace camsim::testing
