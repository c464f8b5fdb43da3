// Tarnwick.ini: the line rules, files that are short, odd or broken, and writing it.
#include "settings/settings.h"
#include "settings/settings_text.h"

#include <fstream>
#include <iterator>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cursorset/cursorset.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::RecordingPlatform;
using testing::TempFolder;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::string lines(std::initializer_list<std::string> six, const std::string& end = "\r\n") {
    std::string text;
    for (const auto& l : six) text += l + end;
    return text;
}

// What start-up does with the file: read it, then hand the remembered name to the set
// loader (the form does that, and shows the rest).
Settings readAndLoad(RecordingPlatform& p, CursorSet& set) {
    Settings read = LoadINI(p).value_or(FirstRunSettings());
    LoadTWC(p, set, read.setFile);
    return read;
}

// One row of a table gets a program folder of its own: write the settings file (and,
// if asked, a set a.TWC), then read it.
struct Fresh {
    TempFolder folder;
    RecordingPlatform q;
    Settings loaded;
    CursorSet none;
    Fresh() { q.programFolder = folder.path(); }
    void load(const std::string& ini, bool withSet) {
        if (withSet) testing::writeFile(folder / "a.TWC", testing::cursorSet(1));
        testing::writeText(folder / "Tarnwick.ini", ini);
        loaded = readAndLoad(q, none);
    }
};


class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { p.programFolder = dir.path(); }
    void load(const std::string& text) {
        testing::writeText(dir / "Tarnwick.ini", text);
        s = readAndLoad(p, set);
    }
    TempFolder dir;
    RecordingPlatform p;
    Settings s;
    CursorSet set;
};

TEST(ReadFlagLine, OneDigitAfterTrimmingElseTheFallback) {
    struct Case {
        std::string line;
        bool whenFallbackOff, whenFallbackOn;
    };
    const Case cases[] = {
        {"1", true, true},   {" 1 ", true, true},   {"0", false, false}, {"2", false, false},
        {"9", false, false}, {"", false, true},     {"yes", false, true}, {"10", false, true},
        {"\t1", false, true}, {std::string("1\0", 2), false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadFlagLine(c.line, false), c.whenFallbackOff) << '"' << c.line << '"';
        EXPECT_EQ(ReadFlagLine(c.line, true), c.whenFallbackOn) << '"' << c.line << '"';
    }
}

TEST(ReadNumberLine, OrdinaryDecimalsRoundedHalfToEvenWithinOneTo255) {
    struct Case {
        std::string line;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"1", 1},
        {"0", std::nullopt},
        {"255", 255},
        {"256", std::nullopt},
        {"2.5", 2},
        {"3.5", 4},
        {"0.5", std::nullopt},
        {"0.51", 1},
        {"254.5", 254},
        {"255.49", 255},
        {"255.5", std::nullopt},
        {"1.5000000000000000001", 2},
        {"2.5000000000000000000", 2},
        {"2.5000000000000000001", 3},
        {" 7 ", 7},
        {"+7", 7},
        {"7.", 7},
        {".6", 1},
        {".4", std::nullopt},
        {"000000000000000000000012", 12},
        {"-3", std::nullopt},
        {"-0", std::nullopt},
        {"-0.4", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {".", std::nullopt},
        {"+", std::nullopt},
        {"1 2", std::nullopt},
        {"- 3", std::nullopt},
        {"1.2.3", std::nullopt},
        {"\t5", std::nullopt},
        {std::string("5\0", 2), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadNumberLine(c.line), c.value) << '"' << c.line << '"';
}

TEST_F(SettingsTest, TheRememberedNameIsFoundAndItsLineRewrittenByteForByte) {
    const std::string mark = "\xEF\xBB\xBF";
    struct Case {
        const char* what;
        std::string line, fileOnDisk;
        bool loads;
        bool undecodable = false;
    };
    const Case cases[] = {
        {"a code page name", "\xC4rger.TWC", "\xC3\x84rger.TWC", true},
        {"a marked Cyrillic name", mark + "\xD0\x96\xD1\x83\xD0\xBA.TWC", "\xD0\x96\xD1\x83\xD0\xBA.TWC", true},
        {"a marked lone surrogate, in another letter case", mark + "\xED\xA0\x80.twc", "\xED\xA0\x80.TWC", true},
        {"UTF-8 without the mark names another file", "\xC3\x84rger.TWC", "\xC3\x84rger.TWC", false},
        {"bytes that are no text in the code page", "\x81x.TWC", "x.TWC", false, true},
    };
    for (const auto& c : cases) {
        Fresh f;
        testing::writeFile(f.folder / c.fileOnDisk, testing::cursorSet(5));
        if (c.undecodable) f.q.failCall("MultiByteToWideChar");
        const std::string text = lines({"0", "1", "1", "9", "40", c.line});
        f.load(text, false);
        EXPECT_EQ(f.q.count("LoadImage"), c.loads ? 16 : 0) << c.what;
        EXPECT_EQ(f.none.images[0], c.loads ? testing::cursorSlice(5 * 16) : testing::Bytes{}) << c.what;
        EXPECT_THAT(f.q.messages, Each(StartsWith("LoadINI\n"))) << c.what;  // at most the preview of no set

        ASSERT_TRUE(SaveINI(f.q, f.loaded, {0, 1, 1})) << c.what;
        EXPECT_EQ(testing::readText(f.folder / "Tarnwick.ini"), text) << c.what;
    }
}

TEST_F(SettingsTest, ANewlyChosenNameIsWrittenInTheCodePageOrMarkedAndFoundAgain) {
    struct Case {
        std::string name, line;
    };
    const Case cases[] = {
        {"\xC3\x84rger.TWC", "\xC4rger.TWC"},
        {"\xD0\x96\xD1\x83\xD0\xBA.TWC", "\xEF\xBB\xBF\xD0\x96\xD1\x83\xD0\xBA.TWC"},
        {"\xED\xA0\x80.TWC", "\xEF\xBB\xBF\xED\xA0\x80.TWC"},
    };
    for (const auto& c : cases) {
        Fresh f;
        testing::writeFile(f.folder / c.name, testing::cursorSet(6));
        f.load(lines({"0", "1", "1", "9", "40", "a.TWC"}), true);
        f.loaded.setFile = c.name;  // a double-click on the set
        ASSERT_TRUE(SaveINI(f.q, f.loaded, {0, 0, 0}));
        EXPECT_EQ(testing::readText(f.folder / "Tarnwick.ini"), lines({"0", "0", "0", "9", "40", c.line}));

        RecordingPlatform again;
        again.programFolder = f.folder.path();
        CursorSet set2;
        const Settings next = readAndLoad(again, set2);
        EXPECT_EQ(next.setFile, c.name);
        EXPECT_EQ(set2.images[0], testing::cursorSlice(6 * 16));
    }
}

TEST_F(SettingsTest, ACompleteFileSetsEverythingAndLoadsTheRememberedSet) {
    testing::writeFile(dir / "arrows.TWC", testing::cursorSet(3));
    const std::string text = lines({"1", "0", "1", "5", "100", "arrows.TWC"});
    load(text);
    EXPECT_EQ(testing::readText(dir / "Tarnwick.ini"), text);
    EXPECT_EQ(testing::readFile(dir / "arrows.TWC"), testing::cursorSet(3));

    EXPECT_TRUE(s.autoStart);
    EXPECT_FALSE(s.normal);
    EXPECT_TRUE(s.busy);
    EXPECT_EQ(s.interval, 5);
    EXPECT_EQ(s.sliderPosition, 100);
    EXPECT_EQ(s.setFile, "arrows.TWC");
    EXPECT_EQ(set.images[0], testing::cursorSlice(3 * 16));
    EXPECT_TRUE(p.messages.empty());
}

TEST_F(SettingsTest, OutOfRangeNumbersFallBackSilentlyAndTheKnobFollowsTheStoredPosition) {
    struct Case {
        std::string interval, slider;
        std::int32_t expectInterval, expectSlider;
        double knob;  // twips
    };
    const Case cases[] = {
        {"0", "300", 1, 128, 2040},  // 136 px
        {"256", "200", 1, 200, 3120},  // 208 px, beyond the track
        {"-3", "1", 1, 1, 135},
        {"abc", "255", 1, 255, 3945},
        {"", "", 1, 128, 2040},
        {"3", "120", 3, 120, 1920},  // kept as stored, not derived from each other
    };
    for (const auto& c : cases) {
        Fresh f;
        RecordingPlatform& q = f.q;
        const Settings& loaded = f.loaded;
        f.load(lines({"0", "1", "1", c.interval, c.slider, "a.TWC"}), true);
        EXPECT_EQ(loaded.interval, c.expectInterval) << c.interval;
        EXPECT_EQ(loaded.sliderPosition, c.expectSlider) << c.slider;
        EXPECT_EQ(KnobLeftTwips(loaded.sliderPosition), c.knob);
        EXPECT_TRUE(q.messages.empty()) << c.interval << " / " << c.slider;
    }
}

TEST(TickInterval, TwentySixDownToOneFivePositionsAMillisecondAndNothingOffTheSlider) {
    const std::pair<std::int32_t, std::optional<std::int32_t>> cases[] = {
        {0, std::nullopt}, {1, 26}, {4, 26}, {5, 25}, {9, 25}, {10, 24},
        {104, 6},  // where a first run leaves the slider
        {124, 2}, {125, 1}, {128, 1}, {129, std::nullopt},
    };
    for (const auto& [position, interval] : cases) EXPECT_EQ(TickInterval(position), interval) << position;
}

// What a first run starts with instead, and that it rotates: tests/shell/tarn_frm_test.cpp.
TEST_F(SettingsTest, NoSettingsFileIsAQuietFirstRun) {
    EXPECT_FALSE(LoadINI(p));
    EXPECT_TRUE(p.calls().empty());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(SettingsTest, ShortFilesReportEachMissingLineAndKeepThePreviousLine) {
    struct Case {
        const char* what;
        std::string text;
        bool autoStart, normal, busy;
        std::int32_t interval, slider;
        std::string setFile;
        std::size_t loadIniMessages;  // one per missing line: a name that loads nothing has no preview
        std::size_t loadTwcMessages;
    };
    const Case cases[] = {
        {"empty", "", false, true, true, 1, 128, "", 6, 0},
        {"three lines", lines({"1", "0", "7"}), true, false, false, 7, 7, "7", 3, 0},
        {"five lines", lines({"1", "1", "1", "9", "40"}), true, true, true, 9, 40, "40", 1, 0},
        {"six lines, no final line end", "0\r\n1\r\n0\r\n4\r\n50\r\nx.TWC", false, true, false, 4, 50, "x.TWC", 0, 0},
        {"six lines, no set chosen yet", lines({"0", "1", "0", "4", "50", ""}), false, true, false, 4, 50, "", 0, 0},
    };
    for (const auto& c : cases) {
        Fresh f;
        RecordingPlatform& q = f.q;
        const Settings& loaded = f.loaded;
        f.load(c.text, false);
        EXPECT_EQ(loaded.autoStart, c.autoStart) << c.what;
        EXPECT_EQ(loaded.normal, c.normal) << c.what;
        EXPECT_EQ(loaded.busy, c.busy) << c.what;
        EXPECT_EQ(loaded.interval, c.interval) << c.what;
        EXPECT_EQ(loaded.sliderPosition, c.slider) << c.what;
        EXPECT_EQ(loaded.setFile, c.setFile) << c.what;
        std::size_t ini = 0, twc = 0;
        for (const auto& m : q.messages) {
            ini += m.rfind("LoadINI\n", 0) == 0;
            twc += m.rfind("LoadTWC\n", 0) == 0;
        }
        EXPECT_EQ(ini, c.loadIniMessages) << c.what;
        EXPECT_EQ(twc, c.loadTwcMessages) << c.what;
        EXPECT_EQ(ini + twc, q.messages.size()) << c.what;
    }
}

TEST_F(SettingsTest, AnUnopenableFileReportsEveryStepAndUsesTheDefaults) {
    fs::create_directory(dir / "Tarnwick.ini");
    s = readAndLoad(p, set);
    EXPECT_FALSE(s.autoStart);
    EXPECT_TRUE(s.normal);
    EXPECT_TRUE(s.busy);
    EXPECT_EQ(s.interval, 1);
    EXPECT_EQ(s.sliderPosition, 128);
    // open and six reads; the empty set name that leaves loads nothing and says nothing
    ASSERT_EQ(p.messages.size(), 7u);
    EXPECT_THAT(p.messages, Each(StartsWith("LoadINI\n")));
}

TEST_F(SettingsTest, LoneLineFeedsAndCarriageReturnsEndLinesLikeCrLf) {
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        Fresh f;
        RecordingPlatform& q = f.q;
        const Settings& loaded = f.loaded;
        f.load(lines({"1", "0", "0", "12", "60", "a.TWC"}, end), true);
        EXPECT_TRUE(loaded.autoStart);
        EXPECT_FALSE(loaded.normal || loaded.busy);
        EXPECT_EQ(loaded.interval, 12);
        EXPECT_EQ(loaded.sliderPosition, 60);
        EXPECT_EQ(loaded.setFile, "a.TWC");
        EXPECT_TRUE(q.messages.empty()) << q.messages.front();
    }
}

TEST_F(SettingsTest, LongLinesAndNulBytesAreJustText) {
    const std::string longName(100000, 'n');
    const std::string longNumber(100000, '9');
    const std::string withNul("a\0.TWC", 6);
    testing::writeFile(dir / "a.TWC", testing::cursorSet(1));
    load(lines({std::string(100000, '1'), std::string("\0", 1), "1", longNumber, "5", longName}));

    EXPECT_FALSE(s.autoStart);
    EXPECT_TRUE(s.normal);
    EXPECT_EQ(s.interval, 1);
    EXPECT_EQ(s.setFile, longName);
    EXPECT_EQ(p.count("LoadImage"), 0);  // a name no file can have is treated as missing

    p.messages.clear();
    load(lines({"1", "1", "1", "5", "5", withNul}));
    EXPECT_EQ(s.setFile, withNul);
    EXPECT_EQ(p.count("LoadImage"), 0);  // not a.TWC
    // The names are silent, and so is the preview of a set that did not load.
    EXPECT_TRUE(p.messages.empty());
}

TEST_F(SettingsTest, SaveWritesSixCrLfLinesWithTheFlagsFromTheCheckBoxes) {
    s.autoStart = false;
    s.normal = true;
    s.busy = false;
    s.interval = 3;
    s.sliderPosition = 120;
    s.setFile = "arrows.TWC";

    EXPECT_TRUE(SaveINI(p, s, {1, 0, 1}));
    EXPECT_EQ(testing::readText(dir / "Tarnwick.ini"), "1\r\n0\r\n1\r\n3\r\n120\r\narrows.TWC\r\n");
    EXPECT_THAT(std::vector<fs::path>(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                ElementsAre(dir / "Tarnwick.ini"));
    EXPECT_TRUE(p.messages.empty());
}

TEST_F(SettingsTest, WhatIsSavedReadsBack) {
    struct Case {
        std::int32_t interval, slider, readInterval, readSlider;
    };
    for (const auto& c : {Case{3, 120, 3, 120}, Case{255, 1, 255, 1}, Case{0, 0, 1, 128}}) {
        Fresh f;
        auto& [folder, q, loaded, none] = f;
        ASSERT_TRUE(SaveINI(q, Settings{false, false, false, c.interval, c.slider, "x y.TWC", {}}, {0, 1, 0}));
        loaded = LoadINI(q).value();
        EXPECT_FALSE(loaded.autoStart);
        EXPECT_TRUE(loaded.normal);
        EXPECT_FALSE(loaded.busy);
        EXPECT_EQ(loaded.interval, c.readInterval);
        EXPECT_EQ(loaded.sliderPosition, c.readSlider);
        EXPECT_EQ(loaded.setFile, "x y.TWC");
    }
}

TEST_F(SettingsTest, AFailedSaveIsReportedAndKeepsTheOldFile) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> block;
        bool oldFileKept;
    };
    const Case cases[] = {
        {"every temporary name is taken by a folder",
         [](const fs::path& f) {
             fs::create_directories(f / "Tarnwick.ini.new" / "x");
             for (int n = 2; n <= 9; ++n) fs::create_directory(f / ("Tarnwick.ini.new" + std::to_string(n)));
         },
         true},
        {"the settings file is a folder with something in it",
         [](const fs::path& f) {
             fs::remove(f / "Tarnwick.ini");
             fs::create_directories(f / "Tarnwick.ini" / "x");
         },
         false},
        {"the program folder is gone", [](const fs::path& f) { fs::remove_all(f); }, false},
    };
    const std::string old = lines({"1", "1", "1", "9", "40", "old.TWC"});
    for (const auto& c : cases) {
        Fresh f;
        auto& [folder, q, loaded, none] = f;
        testing::writeText(folder / "Tarnwick.ini", old);
        c.block(folder.path());

        EXPECT_FALSE(SaveINI(q, Settings{false, false, false, 2, 2, "new.TWC", {}}, {0, 0, 0})) << c.what;
        ASSERT_EQ(q.messages.size(), 1u) << c.what;
        EXPECT_THAT(q.messages[0], StartsWith("SaveINI\n")) << c.what;
        if (c.oldFileKept) {
            EXPECT_EQ(testing::readText(folder / "Tarnwick.ini"), old) << c.what;
        }
        EXPECT_FALSE(fs::is_regular_file(folder / "Tarnwick.ini.new")) << c.what;
    }
}

// A file of the temporary's name is the user's: neither written over nor removed.
TEST(SaveINI, TakesTheFirstTemporaryNameNothingLiesUnder) {
    for (const int taken : {1, 8}) {
        SCOPED_TRACE(taken);
        Fresh f;
        auto& [folder, q, loaded, none] = f;
        for (int n = 1; n <= taken; ++n)
            testing::writeText(folder / ("Tarnwick.ini.new" + (n == 1 ? "" : std::to_string(n))), "mine");
        ASSERT_TRUE(SaveINI(q, Settings{}, {0, 0, 0}));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), taken + 1);
        EXPECT_EQ(testing::readText(folder / ("Tarnwick.ini.new" + (taken == 1 ? "" : std::to_string(taken)))), "mine");
        EXPECT_THAT(q.log({"CreateFile"}), ElementsAre("CreateFile(\"Tarnwick.ini.new" + std::to_string(taken + 1) +
                                                       "\") -> 0"));
    }
}

TEST_F(SettingsTest, ACloseRequestInABoxStopsTheReaderAtOnce) {
    fs::create_directory(dir / "Tarnwick.ini");  // cannot be read: every step would say so
    bool closing = false;
    p.duringMessageBox.push_back([&] { closing = true; });
    LoadINI(p, [&] { return closing; });
    EXPECT_THAT(p.messages, ElementsAre(StartsWith("LoadINI\n")));
    EXPECT_EQ(p.log().back().rfind("MessageBox(", 0), 0u);
}

TEST(SaveINI, KeepsWhatStartUpCouldNotReadOrIsReadOnlyAndWritesOneWithTwoNamesInPlace) {
    const std::string old = lines({"0", "1", "1", "9", "77", "C.TWC"});
    enum Outcome { Kept, Replaced, InPlace };
    const auto file = [&](const fs::path& ini) { testing::writeText(ini, old); };
    const struct {
        const char* what;
        std::function<void(const fs::path& ini)> make;  // the settings file start-up finds
        Outcome outcome;
    } cases[] = {
        {"cannot be read", [](const fs::path& ini) { fs::create_symlink("/proc/self/mem", ini); }, Kept},
        {"cannot be opened", [](const fs::path& ini) { fs::create_directory(ini); }, Kept},
        {"read-only", [&](const fs::path& ini) { file(ini); fs::permissions(ini, fs::perms::owner_read); }, Kept},
        {"read", file, Replaced},
        {"short, read", [](const fs::path& ini) { testing::writeText(ini, lines({"1", "0"})); }, Replaced},
        {"missing", [](const fs::path&) {}, Replaced},
        {"a second name", [&](const fs::path& ini) { file(ini); fs::create_hard_link(ini, ini.string() + "2"); }, InPlace},
    };
    const auto state = [](const fs::path& ini) {
        const fs::file_status s = fs::symlink_status(ini);
        if (fs::is_symlink(s)) return "a link to " + fs::read_symlink(ini).string();
        if (!fs::is_regular_file(s)) return std::string(fs::exists(s) ? "a folder" : "missing");
        return testing::readText(ini);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh f;
        auto& [folder, q, s, none] = f;
        const fs::path ini = folder / "Tarnwick.ini";
        c.make(ini);
        const std::string before = state(ini);
        std::ifstream held(ini, std::ios::binary);  // the file the name stands for now
        s = readAndLoad(q, none);
        q.messages.clear();

        EXPECT_EQ(SaveINI(q, s, {1, 0, 1}), c.outcome != Kept);
        if (c.outcome == Kept) {
            EXPECT_EQ(state(ini), before);
            EXPECT_THAT(q.messages, ElementsAre(StartsWith("SaveINI\n" + ini.string() + " was kept as it is: ")));
            EXPECT_FALSE(fs::exists(folder / "Tarnwick.ini.new"));
            continue;
        }
        const std::string written = state(ini);
        EXPECT_THAT(written, StartsWith("1\r\n0\r\n1\r\n"));
        EXPECT_TRUE(q.messages.empty());
        // A rename leaves the old file to whoever holds it; in place, both names see the new text.
        const std::string seen(std::istreambuf_iterator<char>(held), {});
        EXPECT_EQ(seen, c.outcome == InPlace ? written : held ? before : "");
        EXPECT_EQ(c.outcome == InPlace, fs::exists(ini.string() + "2") && state(ini.string() + "2") == written);
    }
}

TEST(ReadSettingsText, ReadsInMemoryWhatLoadINIReadsFromTheFile) {
    const std::string texts[] = {
        "", lines({"1", "0", "7"}), lines({"1", "1", "1", "9", "40"}), "0\r\n1\r\n0\r\n4\r\n50\r\nx.TWC",
        lines({"1", "0", "0", "12", "60", "a.TWC"}, "\n"), lines({"1", "0", "0", "12", "60", "a.TWC"}, "\r"),
        lines({" 1 ", "x", "2", "2.5", "-3", ""}), std::string("1\r\n") + '\0' + "\r\n1\r\n999\r\n3.5\r\na\r\nb",
    };
    for (const auto& text : texts) {
        Fresh f;
        f.load(text, false);
        Settings inMemory;
        std::vector<std::string> messages;
        ReadSettingsText(text, inMemory, [&](const std::string& d) { messages.push_back("LoadINI\n" + d); });
        EXPECT_EQ(SettingsText(inMemory, {1, 1, 1}, inMemory.setFile), SettingsText(f.loaded, {1, 1, 1}, f.loaded.stored.bytes))
            << text;
        EXPECT_EQ(inMemory.autoStart, f.loaded.autoStart) << text;
        ASSERT_LE(messages.size(), f.q.messages.size()) << text;
        EXPECT_EQ(messages, std::vector<std::string>(f.q.messages.begin(), f.q.messages.begin() + messages.size())) << text;
    }
}

}  // namespace
}  // namespace tarn
