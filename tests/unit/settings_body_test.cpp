// What the cameras' settings pages say back, read from literal bodies: the
// choice lists, refusals and values.
#include "settings_body.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

Items Choices(const char* body, bool expectList = true) {
    Items items{"left over"};
    EXPECT_EQ(settings_body::ChoiceItems(body, items), expectList) << body;
    return items;
}

TEST(SettingsBody, ChoiceListsSplitAtRunsOfCommasAndQuotes) {
    // The first quoted span only, in body order; spaces and case kept.
    EXPECT_EQ(Choices("var tz = 'GMT,CET,Pacific/Auckland'; other = 'X,Y';"),
              (Items{"GMT", "CET", "Pacific/Auckland"}));
    EXPECT_EQ(Choices("'America/New York , EST5EDT,GMT+1'"), (Items{"America/New York ", " EST5EDT", "GMT+1"}));
    EXPECT_EQ(Choices("',,NTSC,,,Pal,,'"), (Items{"NTSC", "Pal"}));
    // Unterminated: the list runs to the body's end.
    EXPECT_EQ(Choices("list: 'a,b\r\nc"), (Items{"a", "b\r\nc"}));
    EXPECT_EQ(Choices("''"), Items{});
    EXPECT_EQ(Choices("'"), Items{});
    EXPECT_EQ(Choices("GMT,CET", false), Items{});
    EXPECT_EQ(Choices("", false), Items{});
}

TEST(SettingsBody, RefusalsAndValues) {
    std::string why = "left over";
    EXPECT_TRUE(settings_body::IsRefusal("%Error: no such OID <xmp>unknown OID 9.9</xmp>"));
    EXPECT_TRUE(settings_body::RefusalText("%Error: no such OID <xmp>unknown OID 9.9</xmp> trailer", why));
    EXPECT_EQ(why, "unknown OID 9.9");
    // Without "</xmp>": to the body's end; the first "<xmp>" opens it.
    EXPECT_TRUE(settings_body::RefusalText("%Error <xmp>bad <xmp>value\n", why));
    EXPECT_EQ(why, "bad <xmp>value\n");
    EXPECT_TRUE(settings_body::IsRefusal("text %Error"));
    EXPECT_FALSE(settings_body::RefusalText("%Error: refused", why));
    EXPECT_EQ(why, "");
    EXPECT_FALSE(settings_body::IsRefusal("%error <xmp>lower case</xmp>"));

    EXPECT_EQ(settings_body::Value("<html><xmp>Europe/Berlin</xmp></html>"), "Europe/Berlin");
    EXPECT_EQ(settings_body::Value("<xmp></xmp>"), "");
    EXPECT_EQ(settings_body::Value("<xmp> a b </xmp><xmp>second</xmp>"), " a b ");
    EXPECT_EQ(settings_body::Value("CET"), "");
    EXPECT_EQ(settings_body::Value("<xmp>CET"), "");
    EXPECT_EQ(settings_body::Value(""), "");
}

}  // namespace
