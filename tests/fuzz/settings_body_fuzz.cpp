// Fuzz target of the settings pages' body reader: one input is a body, up to
// its first NUL, in a buffer that ends with that NUL.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings_body.h"
#include "fuzz_target.h"

int SettingsBodyTarget(const uint8_t* data, std::size_t size) {
    const std::size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<char[]> owned(new char[length + 1]);
    std::memcpy(owned.get(), data, length);
    owned[length] = '\0';
    const char* body = owned.get();
    const std::string_view text(body, length);
    constexpr auto npos = std::string_view::npos;
    int produced = 0;

    const bool refusal = settings_body::IsRefusal(body);
    FUZZ_CHECK(refusal == (text.find("%Error") != npos));
    produced += refusal;

    // The refusal text runs from the first "<xmp>" to the next "</xmp>" or the body's end.
    std::string why = "left over";
    const bool explained = settings_body::RefusalText(body, why);
    const std::size_t open = text.find("<xmp>");
    FUZZ_CHECK(explained == (open != npos));
    bool closed = false;
    if (explained) {
        const std::size_t start = open + 5, end = start + why.size();
        FUZZ_CHECK(end <= length && text.substr(start, why.size()) == why && why.find("</xmp>") == npos);
        closed = end < length;
        FUZZ_CHECK(!closed || text.substr(end, 6) == "</xmp>");
        produced += 1;
    } else {
        FUZZ_CHECK(why.empty());
    }
    // The value is that same text when "</xmp>" closes it, else empty.
    const std::string value = settings_body::Value(body);
    FUZZ_CHECK(value == (closed ? why : std::string()));
    produced += !value.empty();

    // The list: the span from the first quote to the next (or the body's end)
    // is the items in order, split by runs of commas and quotes.
    std::vector<std::string> items{"left over"};
    const bool listed = settings_body::ChoiceItems(body, items);
    const std::size_t quote = text.find('\'');
    FUZZ_CHECK(listed == (quote != npos));
    if (!listed) {
        FUZZ_CHECK(items.empty());
        return produced;
    }
    const std::size_t close = text.find('\'', quote + 1);
    const std::size_t spanEnd = close == npos ? length : close;
    auto separator = [](char c) { return c == ',' || c == '\''; };
    std::size_t at = quote;
    for (const std::string& item : items) {
        while (at < spanEnd && separator(text[at])) ++at;
        FUZZ_CHECK(!item.empty() && item.find_first_of(",'") == std::string::npos);
        FUZZ_CHECK(at + item.size() <= spanEnd && text.substr(at, item.size()) == item);
        at += item.size();
        FUZZ_CHECK(at >= spanEnd || separator(text[at]));
    }
    while (at < spanEnd && separator(text[at])) ++at;
    FUZZ_CHECK(at == spanEnd);
    return produced + 1 + static_cast<int>(items.size());
}
