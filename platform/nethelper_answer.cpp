#include "nethelper_answer.h"

#include <cstdio>

namespace platform {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "aa:bb:cc:dd:ee:ff", lower case, exactly.
bool ReadHwAddr(std::string_view text, uint8_t hwAddr[6]) {
    if (text.size() != 17) return false;
    for (int i = 0; i < 6; ++i) {
        const int high = HexDigit(text[i * 3]), low = HexDigit(text[i * 3 + 1]);
        if (high < 0 || low < 0 || (i < 5 && text[i * 3 + 2] != ':')) return false;
        hwAddr[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

// A positive errno of at most four digits.
bool ReadErrno(std::string_view text, int& error) {
    if (text.empty() || text.size() > 4 || text[0] == '0') return false;
    error = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        error = error * 10 + (c - '0');
    }
    return true;
}

// Printable ASCII, at most kReasonLength bytes.
bool ReadReason(std::string_view text, std::string& reason) {
    if (text.empty() || text.size() > kReasonLength) return false;
    for (const char c : text)
        if (c < ' ' || c > '~') return false;
    reason = text;
    return true;
}

}  // namespace

std::string FormatHelperAnswer(const HelperAnswer& answer) {
    char line[40];
    switch (answer.kind) {
    case HelperAnswer::Ok: return "ok\n";
    case HelperAnswer::Exists: return "exists\n";
    case HelperAnswer::Error: std::snprintf(line, sizeof line, "error %d\n", answer.error); return line;
    case HelperAnswer::Answered: {
        const uint8_t* b = answer.hwAddr;
        std::snprintf(line, sizeof line, "answered %02x:%02x:%02x:%02x:%02x:%02x\n", b[0], b[1], b[2], b[3], b[4],
                      b[5]);
        return line;
    }
    case HelperAnswer::Silent: return "silent\n";
    case HelperAnswer::Refused:
    case HelperAnswer::Garbled: break;
    }
    std::string reason = answer.reason.substr(0, kReasonLength);
    for (char& c : reason)
        if (c < ' ' || c > '~') c = '?';
    return reason.empty() ? "refused\n" : "refused " + reason + "\n";
}

HelperAnswer ReadHelperAnswer(std::string_view text) {
    HelperAnswer answer;
    if (text.empty() || text.back() != '\n') return answer;
    text.remove_suffix(1);
    if (text.find('\n') != std::string_view::npos) return answer;
    if (text == "ok")
        answer.kind = HelperAnswer::Ok;
    else if (text == "silent")
        answer.kind = HelperAnswer::Silent;
    else if (text == "exists")
        answer.kind = HelperAnswer::Exists;
    else if (text == "refused")
        answer.kind = HelperAnswer::Refused;
    else if (text.starts_with("refused ") && ReadReason(text.substr(8), answer.reason))
        answer.kind = HelperAnswer::Refused;
    else if (text.starts_with("error ") && ReadErrno(text.substr(6), answer.error))
        answer.kind = HelperAnswer::Error;
    else if (text.starts_with("answered ") && ReadHwAddr(text.substr(9), answer.hwAddr))
        answer.kind = HelperAnswer::Answered;
    return answer;
}

std::vector<HelperAnswer> ReadProbeAnswers(std::string_view text, std::size_t count) {
    std::vector<HelperAnswer> answers;
    while (!text.empty() && answers.size() < count) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return {};
        answers.push_back(ReadHelperAnswer(text.substr(0, end + 1)));
        const HelperAnswer::Kind kind = answers.back().kind;
        if (kind != HelperAnswer::Answered && kind != HelperAnswer::Silent) return {};
        text.remove_prefix(end + 1);
    }
    if (!text.empty() || answers.size() != count) return {};
    return answers;
}

}  // namespace platform
