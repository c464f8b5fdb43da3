// Text crosses into the system as UTF-16: names with any characters must arrive whole,
// and broken input must neither crash nor vanish. The decoding's own limits are the
// core text's tables (tests/platform/wtf8_test.cpp).
#include "toolkit/text.h"

#include <gtest/gtest.h>

namespace tarn::toolkit {
namespace {

TEST(Utf8ToUtf16, KeepsEachCharacterAndReplacesEachBadSequence) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"Pfeile \xC3\xA4\xC3\xB6", u"Pfeile \u00E4\u00F6"},
        {"\xF0\x9F\x96\xB1", u"\U0001F5B1"},        // a mouse, outside the basic plane
        {"a\x80" "b", u"a\uFFFDb"},                 // stray continuation byte
        {"a\xC3", u"a\uFFFD"},                      // truncated at the end
        {"\xC3" "a", u"\uFFFDa"},                   // truncated before an ASCII byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},              // overlong lead bytes are never valid
        {"\xE0\x80\xAF", u"\uFFFD"},                // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD"},                // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD"},            // beyond U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},              // a lead byte that never starts anything
        {"\xFF", u"\uFFFD"},
        {"\xE2\x82" "x\xE2\x82\xAC", u"\uFFFDx\u20AC"},  // recovers at the next character
    };
    for (const Case& c : cases) EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(FitUtf16, KeepsWholeCharactersWithinTheCapacity) {
    const std::u16string tip = u"Tarnwick!\nVersion 1.2 ";
    EXPECT_EQ(fitUtf16(tip, 63), tip);

    const std::u16string exact(63, u'x');
    EXPECT_EQ(fitUtf16(exact, 63), exact);
    EXPECT_EQ(fitUtf16(exact + u"y", 63), exact);  // one over: the last unit goes

    // A pair that would straddle the limit is dropped whole, never cut in half.
    const std::u16string pairAtEnd = std::u16string(62, u'x') + u"\U0001F5B1";
    EXPECT_EQ(fitUtf16(pairAtEnd, 63), std::u16string(62, u'x'));
    const std::u16string pairInside = std::u16string(61, u'x') + u"\U0001F5B1" + u"z";
    EXPECT_EQ(fitUtf16(pairInside, 63), std::u16string(61, u'x') + u"\U0001F5B1");
    EXPECT_EQ(fitUtf16(u"abc", 0), u"");
}

}  // namespace
}  // namespace tarn::toolkit
