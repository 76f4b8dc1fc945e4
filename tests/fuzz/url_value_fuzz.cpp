// Property target of the URL value encoding: decoded by the URL rule, the
// output gives the input back; it holds no space, '#', '&', control or 8-bit
// byte; and only what must be escaped is, in upper-case hexadecimal.
#include <string>

#include "url_value.h"
#include "fuzz_target.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool MustEscape(unsigned char byte) {
    return byte <= 0x20 || byte >= 0x7F || byte == '#' || byte == '%' || byte == '&';
}

}  // namespace

int UrlValueTarget(const uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    const std::string encoded = EncodeUrlValue(value);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '#' && c != '&');
        if (c != '%') {
            decoded += static_cast<char>(c);
            continue;
        }
        const int high = i + 2 < encoded.size() ? HexDigit(encoded[i + 1]) : -1;
        const int low = i + 2 < encoded.size() ? HexDigit(encoded[i + 2]) : -1;
        FUZZ_CHECK(high >= 0 && low >= 0);
        if (high < 0 || low < 0) return 0;
        FUZZ_CHECK(MustEscape(static_cast<unsigned char>(high * 16 + low)));
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    FUZZ_CHECK(decoded == value);
    return encoded.empty() ? 0 : 1;
}
