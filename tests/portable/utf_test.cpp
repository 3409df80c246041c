// UTF-8 both ways: strict for what people read and type, WTF-8 for names that must survive.
#include <gtest/gtest.h>

#include "platform/portable/utf.h"

#include <string>

namespace {

const std::u16string kLoneHigh(1, char16_t(0xD800));
const std::u16string kLoneLow(1, char16_t(0xDC00));

TEST(Utf8, DecodesEveryLengthAndRefusesWhatIsMalformed) {
    const struct {
        std::string bytes;
        std::optional<std::u16string> strict;
        std::optional<std::u16string> wtf8;
    } cases[] = {
        {"", u"", u""},
        {"Vexo", u"Vexo", u"Vexo"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600",
         u"\u00E9\u20AC\U0001F600"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", u"\U0010FFFF"},
        {"\xF4\x90\x80\x80", std::nullopt, std::nullopt}, // past U+10FFFF
        {"\xC0\xAF", std::nullopt, std::nullopt},         // overlong "/"
        {"\xE0\x80\xAF", std::nullopt, std::nullopt},
        {"\xF0\x80\x80\xAF", std::nullopt, std::nullopt},
        {"\xC3", std::nullopt, std::nullopt}, // cut short
        {"\xE2\x82", std::nullopt, std::nullopt},
        {"\xC3(", std::nullopt, std::nullopt}, // not a continuation
        {"\x80", std::nullopt, std::nullopt},
        {"\xF8\x88\x80\x80\x80", std::nullopt, std::nullopt},
        {"\xED\xA0\x80", std::nullopt, kLoneHigh},
        {"a\xED\xB0\x80", std::nullopt, u"a" + kLoneLow},
        {"\xED\xB0\x80\xED\xA0\x80", std::nullopt, kLoneLow + kLoneHigh},
        {"\xED\xA0\x80\xED\xB0\x80", std::nullopt, std::nullopt}, // a pair in two pieces
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf::FromUtf8(c.bytes), c.strict) << testing::PrintToString(c.bytes);
        EXPECT_EQ(utf::FromWtf8(c.bytes), c.wtf8) << testing::PrintToString(c.bytes);
    }
}

TEST(Utf8, EncodesUnpairedSurrogatesAsReplacementOrAsThemselves) {
    const struct {
        std::u16string text;
        std::string strict;
        std::string wtf8;
    } cases[] = {
        {u"K\u00E4se \u20AC\U0001F600", "K\xC3\xA4se \xE2\x82\xAC\xF0\x9F\x98\x80",
         "K\xC3\xA4se \xE2\x82\xAC\xF0\x9F\x98\x80"},
        {kLoneHigh + u"x", "\xEF\xBF\xBDx", "\xED\xA0\x80x"},
        {u"x" + kLoneLow, "x\xEF\xBF\xBD", "x\xED\xB0\x80"},
        {kLoneLow + kLoneHigh, "\xEF\xBF\xBD\xEF\xBF\xBD", "\xED\xB0\x80\xED\xA0\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf::ToUtf8(c.text), c.strict);
        EXPECT_EQ(utf::ToWtf8(c.text), c.wtf8);
        EXPECT_EQ(utf::FromWtf8(c.wtf8), c.text);
    }
}

} // namespace
