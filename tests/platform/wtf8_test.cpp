// The core's text and UTF-16: exact both ways, lone surrogates included.
#include "platform/wtf8.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

std::string hexOf(std::string_view s) {
    std::string out;
    for (const char c : s) out += std::to_string(static_cast<unsigned char>(c)) + " ";
    return out;
}

TEST(Wtf8, EveryUtf16NameHasOneSpellingThatConvertsBack) {
    struct Case {
        std::u16string units;
        std::string text;
    };
    const Case cases[] = {
        {u"", ""},
        {u"a.TWC", "a.TWC"},
        {u"Tarnwick!\nVersion 1.2 ", "Tarnwick!\nVersion 1.2 "},
        {u"\x7F", "\x7F"},                           // the last one-byte character
        {u"\x80", "\xC2\x80"},                       // the first two-byte one
        {u"Pfeile \u00E4\u00F6", "Pfeile \xC3\xA4\xC3\xB6"},
        {u"\u07FF", "\xDF\xBF"},                     // the last two-byte character
        {u"\u0800", "\xE0\xA0\x80"},                 // the first three-byte one
        {u"\uD7FF", "\xED\x9F\xBF"},                 // just below the surrogates
        {u"\uE000", "\xEE\x80\x80"},                 // just above them
        {u"\u20AC", "\xE2\x82\xAC"},                 // the euro sign
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {{0xD800, 0xDC00}, "\xF0\x90\x80\x80"},      // the first pair: U+10000
        {u"\U0001F5B1", "\xF0\x9F\x96\xB1"},         // a mouse, outside the basic plane
        {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},      // the last: U+10FFFF
        {{0xD800}, "\xED\xA0\x80"},                  // lone high surrogates, first and last
        {{0xDBFF}, "\xED\xAF\xBF"},
        {{0xDC00}, "\xED\xB0\x80"},                  // lone low surrogates
        {{0xDFFF}, "\xED\xBF\xBF"},
        {{0xD800, u'a'}, "\xED\xA0\x80" "a"},        // lone high at the start
        {{u'a', 0xD83D}, "a\xED\xA0\xBD"},           // and at the end
        {{0xDE00, u'a'}, "\xED\xB8\x80" "a"},        // lone low at the start
        {{u'a', 0xDC00}, "a\xED\xB0\x80"},           // and at the end
        {{0xDC00, 0xD800}, "\xED\xB0\x80\xED\xA0\x80"},  // low then high: no pair
        {{0xD800, 0xD800, 0xDC00}, "\xED\xA0\x80\xF0\x90\x80\x80"},  // a high, then a pair
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wtf8FromUtf16(c.units), c.text) << hexOf(c.text);
        EXPECT_EQ(Utf16FromWtf8(c.text), c.units) << hexOf(c.text);
    }
}

TEST(Wtf8, TextThatIsNotWtf8ConvertsToNothing) {
    const std::string cases[] = {
        "\xED\xA0\x80\xED\xB0\x80",  // a pair as two halves: it has the four-byte spelling
        "\xC0\x80",                  // overlong forms of two, three and four bytes
        "\xE0\x9F\xBF",
        "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80",          // beyond U+10FFFF
        "\x80",                      // a stray continuation byte
        "a\xE2\x82",                 // cut short at the end
        "\xE2(\xA1",                 // a continuation byte missing
        "\xFF",
    };
    for (const auto& c : cases) EXPECT_EQ(Utf16FromWtf8(c), std::nullopt) << hexOf(c);
}

}  // namespace
}  // namespace tarn
