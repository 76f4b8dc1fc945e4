#include "visible_text.h"

#include <cstdio>

namespace platform {
namespace {

void Escape(std::string& out, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, value > 0xFF ? "\\u%04x" : "\\x%02x", value);
    out += text;
}

// Length of the well-formed UTF-8 sequence at `p` (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF) with its code point; 0 when
// the first byte starts none.
std::size_t Decode(const unsigned char* p, std::size_t left, unsigned& code) {
    const unsigned lead = p[0];
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high) return 0;
    code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    return length;
}

// Characters that move or reorder text rather than show.
bool Invisible(unsigned code) {
    return (code >= 0x80 && code <= 0x9F) || code == 0x200E || code == 0x200F || code == 0x2028 || code == 0x2029 ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned c = bytes[i];
        if (c == '\\') {
            out += "\\\\";
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            Escape(out, c);
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            unsigned code = 0;
            const std::size_t length = Decode(bytes + i, text.size() - i, code);
            if (length == 0) {
                Escape(out, c);  // one byte at a time: what follows may still be well formed
                ++i;
            } else if (Invisible(code)) {
                Escape(out, code);
                i += length;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
        }
    }
    return out;
}

std::string VisibleMessage(std::string_view text) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) return VisibleText(text);
    const std::size_t end = lf > 0 && text[lf - 1] == '\r' ? lf - 1 : lf;
    return VisibleText(text.substr(0, end)) + std::string(text.substr(end, lf + 1 - end)) +
           VisibleText(text.substr(lf + 1));
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace platform
