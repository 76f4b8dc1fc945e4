#include "settings_body.h"

#include <cstring>

namespace settings_body {

namespace {
constexpr char kOpen[] = "<xmp>";
constexpr char kClose[] = "</xmp>";
constexpr std::size_t kOpenLength = sizeof kOpen - 1;
}  // namespace

bool IsRefusal(const char* body) { return std::strstr(body, "%Error") != nullptr; }

bool RefusalText(const char* body, std::string& text) {
    text.clear();
    const char* open = std::strstr(body, kOpen);
    if (!open) return false;
    const char* start = open + kOpenLength;
    const char* end = std::strstr(start, kClose);
    text.assign(start, end ? end : start + std::strlen(start));
    return true;
}

std::string Value(const char* body) {
    const char* open = std::strstr(body, kOpen);
    if (!open) return {};
    const char* start = open + kOpenLength;
    const char* end = std::strstr(start, kClose);
    return end ? std::string(start, end) : std::string();
}

bool ChoiceItems(const char* body, std::vector<std::string>& items) {
    items.clear();
    const char* open = std::strchr(body, '\'');
    if (!open) return false;
    const char* close = std::strchr(open + 1, '\'');
    const char* end = close ? close : open + std::strlen(open);
    const char* p = open;
    while (p < end) {
        while (p < end && (*p == ',' || *p == '\'')) ++p;
        const char* start = p;
        while (p < end && *p != ',' && *p != '\'') ++p;
        if (p > start) items.emplace_back(start, p);
    }
    return true;
}

}  // namespace settings_body
