// The remembered set's line: code page 1252 text (the fake's ANSI code page, as under
// Wine here) or the marked form, both ways. Names are the core's text.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include "support/recording_platform.h"

namespace tarn {
namespace {

using testing::RecordingPlatform;

TEST(NameLine, CodePageTextOrTheMarkedFormAndBackAgain) {
    const std::string mark = "\xEF\xBB\xBF";
    struct Case {
        const char* what;
        std::string name, line;
    };
    const Case cases[] = {
        {"ASCII", "arrows.TWC", "arrows.TWC"},
        {"Latin-1 letters", "\xC3\x84rger.TWC", "\xC4rger.TWC"},
        {"the 0x80 row", "\xE2\x82\xAC \xC2\x81.TWC", "\x80 \x81.TWC"},
        {"Cyrillic", "\xD0\x96\xD1\x83\xD0\xBA.TWC", mark + "\xD0\x96\xD1\x83\xD0\xBA.TWC"},
        {"CJK", "\xE7\x9F\xA2.TWC", mark + "\xE7\x9F\xA2.TWC"},
        {"an emoji", "\xF0\x9F\x98\x80.TWC", mark + "\xF0\x9F\x98\x80.TWC"},
        {"a lone surrogate", "\xED\xA0\x80.TWC", mark + "\xED\xA0\x80.TWC"},
        {"code page text that begins with the mark's bytes", "\xC3\xAF\xC2\xBB\xC2\xBFx.TWC",
         mark + "\xC3\xAF\xC2\xBB\xC2\xBFx.TWC"},
        {"no name", "", ""},
    };
    for (const auto& c : cases) {
        RecordingPlatform p;
        EXPECT_EQ(WriteNameLine(p, c.name), c.line) << c.what;
        EXPECT_EQ(ReadNameLine(p, c.line), c.name) << c.what;
    }
}

TEST(NameLine, OnlyAMarkFollowedByTextIsTheMarkedForm) {
    struct Case {
        const char* what;
        std::string line, name;
    };
    const Case cases[] = {
        {"UTF-8 without the mark is code page text", "\xC3\x84rger.TWC", "\xC3\x83\xE2\x80\x9Erger.TWC"},
        {"a mark before bytes that are not text", "\xEF\xBB\xBFx\xFF", "\xC3\xAF\xC2\xBB\xC2\xBFx\xC3\xBF"},
        {"a mark before a pair spelt as halves", "\xEF\xBB\xBF\xED\xA0\x80\xED\xB0\x80",
         "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xAD\xC2\xA0\xE2\x82\xAC\xC3\xAD\xC2\xB0\xE2\x82\xAC"},
        {"a mark alone", "\xEF\xBB\xBF", ""},
    };
    for (const auto& c : cases) {
        RecordingPlatform p;
        EXPECT_EQ(ReadNameLine(p, c.line), c.name) << c.what;
    }
}

}  // namespace
}  // namespace tarn
