// Loading .TWC files, the scratch file, the preview and the bare-name rule, on real
// files in a temporary program folder.
#include "cursorset/cursor_check.h"
#include "cursorset/cursorset.h"
#include "files/file_names.h"
#include "stb/pictures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::RecordingPlatform;
using testing::TempFolder;
using ::testing::HasSubstr;
using ::testing::StartsWith;

Bytes sliceOf(const Bytes& setFile, std::size_t i) {
    return Bytes(setFile.begin() + static_cast<std::ptrdiff_t>(i * kSliceBytes),
                 setFile.begin() + static_cast<std::ptrdiff_t>((i + 1) * kSliceBytes));
}

// Every file and folder under `folder` with the bytes of each file.
std::map<std::string, Bytes> folderContents(const fs::path& folder) {
    std::map<std::string, Bytes> contents;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        contents[e.path().string()] = e.is_regular_file() ? testing::readFile(e.path()) : Bytes{};
    return contents;
}

// A platform that runs an action right after its nth cursor load: the moment to
// break something half way through a set.
class InterruptingPlatform : public RecordingPlatform {
public:
    int interruptAfter = 0;
    std::function<void()> interrupt;
    using RecordingPlatform::RecordingPlatform;
    CursorHandle LoadImage(const fs::path& file, int side) override {
        const CursorHandle h = RecordingPlatform::LoadImage(file, side);
        if (++loads_ == interruptAfter && interrupt) interrupt();
        return h;
    }

private:
    int loads_ = 0;
};

class CursorSetTest : public ::testing::Test {
protected:
    fs::path at(const std::string& name) const { return dir / name; }

    TempFolder dir;
    InterruptingPlatform p{dir.path()};
    CursorSet set;
};

TEST_F(CursorSetTest, LoadsEverySliceInDirectionOrderThroughTheScratchFile) {
    const Bytes file = testing::cursorSet(1);
    testing::writeFile(at("arrows.TWC"), file);

    LoadTWC(p, set, "arrows.TWC");

    EXPECT_TRUE(p.messages.empty());
    for (std::size_t i = 0; i < kSliceCount; ++i) {
        EXPECT_EQ(set.images[i], sliceOf(file, i)) << "image " << i;
        EXPECT_EQ(p.imageOfHandle(set.handles[i]), RecordingPlatform::imageOf(sliceOf(file, i))) << "handle " << i;
    }
    EXPECT_EQ(p.log({"LoadImage"}).size(), kSliceCount);
    EXPECT_EQ(p.log({"LoadImage"}).front().rfind("LoadImage(\"mw.tmp\",32)", 0), 0u);
    EXPECT_EQ(testing::readFile(at("mw.tmp")), sliceOf(file, 15));
}

TEST_F(CursorSetTest, NamesThatAreNotSetFilesChangeNothingAndSayNothing) {
    // The program folder sits inside another folder, so that names climbing out of
    // it would find a real set if they were followed.
    const fs::path program = dir / "prog";
    fs::create_directories(program / "sub");
    p.programFolder = program;
    testing::writeFile(dir / "outside.TWC", testing::cursorSet(9));
    testing::writeFile(program / "sub" / "inner.TWC", testing::cursorSet(9));
    testing::writeFile(program / "good.TWC", testing::cursorSet(1));
    Bytes shortFile = testing::cursorSet(2);
    shortFile.pop_back();
    testing::writeFile(program / "short.TWC", shortFile);
    Bytes longFile = testing::cursorSet(2);
    longFile.push_back(0);
    testing::writeFile(program / "long.TWC", longFile);
    testing::writeFile(program / "empty.TWC", {});

    LoadTWC(p, set, "good.TWC");
    const CursorSet before = set;
    const auto files = folderContents(dir.path());
    p.clearLog();

    for (const std::string& name : std::vector<std::string>{"short.TWC", "long.TWC", "empty.TWC", "missing.TWC", "", "../outside.TWC", "..\\outside.TWC", "sub/inner.TWC",
          "sub\\inner.TWC", "C:outside.TWC", (dir / "outside.TWC").string(), "..", "NUL.TWC"}) {
        LoadTWC(p, set, name);
        EXPECT_EQ(set.images, before.images) << name;
        EXPECT_EQ(set.handles, before.handles) << name;
    }
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(p.count("LoadImage"), 0);
    EXPECT_EQ(p.count("DestroyCursor"), 0);
    EXPECT_EQ(folderContents(dir.path()), files);
}

// A folder, and a set none of whose slices is a cursor: said, by name, and the set stays.
TEST_F(CursorSetTest, FailuresBeforeAnySliceAreReportedAndKeepTheSet) {
    testing::writeFile(at("good.TWC"), testing::cursorSet(1));
    fs::create_directory(at("folder.TWC"));
    testing::writeFile(at("zeros.TWC"), Bytes(kSetFileBytes, 0));
    LoadTWC(p, set, "good.TWC");
    const CursorSet before = set;

    for (const std::string name : {"folder.TWC", "zeros.TWC"}) {
        p.messages.clear();
        EXPECT_FALSE(LoadTWC(p, set, name));
        ASSERT_EQ(p.messages.size(), 1u) << name;
        EXPECT_THAT(p.messages[0], StartsWith("LoadTWC\n")) << name;
        EXPECT_THAT(p.messages[0], HasSubstr(name)) << "a description naming the file follows";
        EXPECT_EQ(set.images, before.images) << name;
        EXPECT_EQ(set.handles, before.handles) << name;
    }
}

TEST_F(CursorSetTest, ASliceThatIsNotACursorLeavesANullHandleAndTheOthersLoad) {
    // Slice 5 claims to be an icon; its bitmap has no column; it has one row. A picture
    // without pixels is not even handed to the loader.
    for (const auto& [offset, value, loads] : {std::tuple{2, 1, 16}, std::tuple{26, 0, 15}, std::tuple{30, 1, 15}}) {
        Bytes file = testing::cursorSet(1);
        file[5 * kSliceBytes + offset] = static_cast<unsigned char>(value);
        testing::writeFile(at("odd.TWC"), file);
        p.clearLog();

        LoadTWC(p, set, "odd.TWC");

        EXPECT_TRUE(p.messages.empty());
        EXPECT_EQ(p.count("LoadImage"), loads) << offset;
        for (std::size_t i = 0; i < kSliceCount; ++i) EXPECT_EQ(set.handles[i].isNull(), i == 5) << offset << " " << i;
        EXPECT_EQ(set.images[5], sliceOf(file, 5));
    }
    EXPECT_TRUE(p.misuse().empty());
}

TEST(DescribesImage, RefusesOnlyABitmapHeaderWithNoColumnOrNoRow) {
    const auto put = [](Bytes b, std::size_t at, std::int64_t value, std::size_t width = 4) {
        for (std::size_t i = 0; i < width; ++i) b[at + i] = static_cast<unsigned char>(value >> (8 * i));
        return b;
    };
    // A fixture slice: its one entry (offset at 18) points at a bitmap header at 22.
    const auto info = [&](std::int32_t w, std::int32_t h) { return put(put(testing::cursorSlice(1), 26, w), 30, h); };
    const auto core = [&](int w, int h) { return put(put(put(testing::cursorSlice(1), 22, 12), 26, w, 2), 28, h, 2); };
    // Two entries: a good 32 x 32 bitmap at 38, then one of width 0 at 100.
    Bytes two = put(put(put(put(put(Bytes(kSliceBytes, 0), 2, 2, 2), 4, 2, 2), 18, 38), 34, 100), 38, 40);
    two = put(put(put(put(two, 42, 32), 46, 64), 100, 40), 108, 64);
    const struct {
        const char* what;
        Bytes file;
        bool image;
    } cases[] = {
        {"width 0", info(0, 64), false},
        {"width 1, height 2", info(1, 2), true},
        {"height -2", info(32, -2), true},
        {"height -1", info(32, -1), false},
        {"height 0", info(32, 0), false},
        {"height 1", info(32, 1), false},
        {"old header, width 0", core(0, 64), false},
        {"old header, height 1", core(32, 1), false},
        {"old header, width 1, height 2", core(1, 2), true},
        {"a PNG entry's sizes are its decoder's", put(put(testing::cursorSlice(1), 22, 0x474E5089), 26, 0), true},
        {"an empty header beyond the file", put(info(0, 0), 18, 0xFFFFFFF0), true},
        {"an empty header cut short by the end", put(info(0, 0), 18, kSliceBytes - 11), true},
        {"an empty header just inside the end", put(info(0, 0), 18, kSliceBytes - 12), false},
        {"a second entry with an empty header", two, false},
    };
    for (const auto& c : cases) EXPECT_EQ(DescribesImage(c.file), c.image) << c.what;
}

TEST_F(CursorSetTest, AFileNamedInAnotherLetterCaseIsFound) {
    testing::writeFile(at("arrows.twc"), testing::cursorSet(3));
    LoadTWC(p, set, "arrows.TWC");
    EXPECT_EQ(set.images[0], sliceOf(testing::cursorSet(3), 0));
}

TEST_F(CursorSetTest, AReplacedSetsHandlesAreReleasedOnce) {
    testing::writeFile(at("a.TWC"), testing::cursorSet(1));
    testing::writeFile(at("b.TWC"), testing::cursorSet(2));
    LoadTWC(p, set, "a.TWC");
    const auto first = set.handles;

    LoadTWC(p, set, "b.TWC");

    std::vector<std::string> expected;
    for (const CursorHandle h : first) expected.push_back("DestroyCursor(" + testing::hex(h.value()) + ")");
    EXPECT_EQ(p.log({"DestroyCursor"}), expected);
    EXPECT_TRUE(p.misuse().empty()) << p.misuse().front();
    for (const CursorHandle h : set.handles) EXPECT_FALSE(h.isNull());
}

struct HalfwayFault {
    const char* what;
    std::function<void(const fs::path& folder)> inject;
    std::function<void(const fs::path& folder)> repair;
    bool failingSlotHasNewImage;  // the scratch write fails after the slice was read
};

TEST_F(CursorSetTest, ALoadThatFailsHalfwayLeavesAMixAndReleasesOnlyWhatWasReplaced) {
    const HalfwayFault faults[] = {
        {"the scratch file turns into a folder",
         [](const fs::path& f) {
             fs::remove(f / "mw.tmp");
             fs::create_directory(f / "mw.tmp");
         },
         [](const fs::path& f) { fs::remove(f / "mw.tmp"); }, true},
        {"a link to the user's file is put in its place",
         [](const fs::path& f) { fs::rename(f / "mw.tmp", f / "moved"), fs::create_symlink("doc", f / "mw.tmp"); },
         [](const fs::path& f) { fs::remove(f / "mw.tmp"); }, true},
        {"the set file shrinks", [](const fs::path& f) { fs::resize_file(f / "b.TWC", 3 * kSliceBytes); },
         [](const fs::path&) {}, false},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.what);
        TempFolder folder;
        InterruptingPlatform q{folder.path()};
        CursorSet mixed;
        const Bytes a = testing::cursorSet(1), b = testing::cursorSet(2), c = testing::cursorSet(3);
        testing::writeFile(folder / "a.TWC", a);
        testing::writeFile(folder / "b.TWC", b);
        testing::writeFile(folder / "c.TWC", c);
        testing::writeFile(folder / "doc", c);
        LoadTWC(q, mixed, "a.TWC");
        const auto oldHandles = mixed.handles;

        q.interruptAfter = 16 + 5;  // after slot 4 of the second load
        q.interrupt = [&] { fault.inject(folder.path()); };
        LoadTWC(q, mixed, "b.TWC");

        ASSERT_EQ(q.messages.size(), 1u);
        EXPECT_THAT(q.messages[0], StartsWith("LoadTWC\n"));
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(mixed.images[i], sliceOf(b, i)) << i;
            EXPECT_EQ(q.imageOfHandle(mixed.handles[i]), RecordingPlatform::imageOf(sliceOf(b, i))) << i;
        }
        EXPECT_EQ(mixed.images[5], fault.failingSlotHasNewImage ? sliceOf(b, 5) : sliceOf(a, 5));
        for (std::size_t i = 5; i < kSliceCount; ++i) EXPECT_EQ(mixed.handles[i], oldHandles[i]) << i;
        for (std::size_t i = 6; i < kSliceCount; ++i) EXPECT_EQ(mixed.images[i], sliceOf(a, i)) << i;
        const auto halfway = mixed.handles;

        fault.repair(folder.path());
        LoadTWC(q, mixed, "c.TWC");

        // Every handle of a and the five new ones of b are released exactly once.
        std::multiset<std::string> destroyed;
        for (const auto& line : q.log({"DestroyCursor"})) destroyed.insert(line);
        std::multiset<std::string> expected;
        for (const CursorHandle h : oldHandles) expected.insert("DestroyCursor(" + testing::hex(h.value()) + ")");
        for (std::size_t i = 0; i < 5; ++i) expected.insert("DestroyCursor(" + testing::hex(halfway[i].value()) + ")");
        EXPECT_EQ(destroyed, expected);
        EXPECT_TRUE(q.misuse().empty());
        for (std::size_t i = 0; i < kSliceCount; ++i) EXPECT_EQ(mixed.images[i], sliceOf(c, i)) << i;
        EXPECT_EQ(testing::readFile(folder / "doc"), c);
    }
}

// Large pictures that cannot be used leave the slice, and are said once a run, by name.
TEST_F(CursorSetTest, PointersAreMadeAtTheSideFromTheLargePicturesAndAFaultIsSaidOnce) {
    const Bytes good = EncodePng(RgbaPicture(256, 256));  // large pictures, all clear
    const struct {
        const char* what;
        const char* file;  // beside arrows.TWC, "" for none
        Bytes bytes;
        bool used;
        const char* fault;  // in the message, "" for none
    } cases[] = {
        {"usable", "arrows.png", good, true, ""}, {"none", "", {}, false, ""},
        {"another letter case where the folder tells them apart", "arrows.PNG", good, false, ""},
        {"not a PNG", "arrows.png", Bytes(5000, 'x'), false, "Not a PNG picture."},
        {"cut short", "arrows.png", Bytes(good.begin(), good.begin() + 200), false, "."},
        {"not 4 by 4 cells", "arrows.png", EncodePng(RgbaPicture(130, 130)), false, "not 4 by 4 cells"},
        {"cells not square", "arrows.png", EncodePng(RgbaPicture(256, 128)), false, "not square"},
        {"a folder", "arrows.png/", {}, false, "It is not a file."},
        {"over 16 MiB, never read", "arrows.png", {}, false, "16777217 bytes long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        RecordingPlatform q{folder.path()};
        testing::writeFile(folder / "arrows.TWC", testing::cursorSet(1));
        const fs::path file = folder / c.file;
        if (std::string(c.file).ends_with('/')) fs::create_directory(file);
        else if (*c.file)  // no bytes: one over the limit
            testing::writeFile(file, c.bytes), fs::resize_file(file, c.bytes.empty() ? kMaxCompanionBytes + 1 : c.bytes.size());
        CursorSet made;
        made.side = 48;
        for (int load = 0; load < 2; ++load) EXPECT_TRUE(LoadTWC(q, made, "arrows.TWC"));
        EXPECT_THAT(q.log({"LoadImage"}), ::testing::Each(StartsWith("LoadImage(\"mw.tmp\",48)")));
        for (std::size_t i = 0; i < kSliceCount; ++i) {
            EXPECT_EQ(q.sideOfHandle(made.handles[i]), 48) << i;
            EXPECT_EQ(q.imageOfHandle(made.handles[i]) == RecordingPlatform::imageOf(made.images[i]), !c.used) << i;
        }
        // Said once, after the second load too.
        EXPECT_EQ(q.messages.size(), *c.fault ? 1u : 0u);
        EXPECT_THAT(q.messages, ::testing::Each(::testing::AllOf(
                                    StartsWith("LoadTWC\nCannot use " + (folder / "arrows.png").string() +
                                               " as the large pictures of arrows.TWC: "),
                                    HasSubstr(c.fault), ::testing::EndsWith(" The set is used at its 32 x 32 pictures."))));
    }
}

TEST(PointerSide, IsTheIBeamsSizeElseTheNominalSizeElse32) {
    const struct {
        int ibeam;  // 0: GetIconInfo fails
        int metric;
        int side;
    } cases[] = {{32, 48, 32}, {48, 32, 48}, {64, 32, 64}, {256, 32, 256}, {16, 32, 16}, {512, 32, 512}, {15, 48, 48},
                 {513, 64, 64}, {0, 48, 48}, {0, 15, 32}, {0, 513, 32}, {0, 0, 32}};
    for (const auto& c : cases) {
        RecordingPlatform p;
        p.pointerSide = c.ibeam;
        if (c.ibeam == 0) p.failCall("GetIconInfo");
        p.cursorMetric = c.metric;
        EXPECT_EQ(PointerSide(p), c.side) << c.ibeam << " " << c.metric;
    }
}

// All the new handles are held before an old one is released; a scratch file that fails
// leaves the set as it was, releases what was made, and is not tried again at that side.
TEST_F(CursorSetTest, ANewSideMakesEveryPointerAgainAndSwapsThemInWhole) {
    testing::writeFile(at("arrows.TWC"), testing::cursorSet(1));
    testing::writeFile(at("arrows.png"), EncodePng(RgbaPicture(256, 256)));
    LoadTWC(p, set, "arrows.TWC");
    const auto at32 = set.handles;
    EXPECT_FALSE(FitPointers(p, set));
    set.side = 96;
    p.clearLog();
    p.failCall("WriteFile", 4);
    for (int tries = 0; tries < 2; ++tries) EXPECT_FALSE(FitPointers(p, set));
    EXPECT_EQ(set.handles, at32);
    EXPECT_EQ(p.log({"LoadImage", "DestroyCursor"}).size(), 6u);  // three made, released, and no second try
    set.side = 64;
    p.clearLog();
    EXPECT_TRUE(FitPointers(p, set));
    const auto made = p.log({"LoadImage", "DestroyCursor"});
    EXPECT_THAT(std::vector(made.begin(), made.begin() + kSliceCount), ::testing::Each(StartsWith("LoadImage")));
    for (std::size_t i = 0; i < kSliceCount; ++i) {
        EXPECT_EQ(p.sideOfHandle(set.handles[i]), 64);
        EXPECT_NE(p.imageOfHandle(set.handles[i]), RecordingPlatform::imageOf(set.images[i]));  // of the large pictures
    }
    EXPECT_EQ(p.count("DestroyCursor"), 16);
    EXPECT_TRUE(p.misuse().empty());
}

TEST_F(CursorSetTest, ThePreviewIsSliceTwo) {
    const Bytes file = testing::cursorSet(4);
    testing::writeFile(at("a.TWC"), file);
    LoadTWC(p, set, "a.TWC");
    p.SetPreviewPicture(LoadPreview(p, set));
    EXPECT_EQ(p.preview, RecordingPlatform::imageOf(sliceOf(file, 2)));
}

TEST_F(CursorSetTest, APreviewBeforeAnyLoadWritesNothing) {
    // Fresh run: the scratch file is created empty and cannot be a picture.
    EXPECT_THROW(LoadPreview(p, set), PlatformError);
    EXPECT_TRUE(fs::exists(at("mw.tmp")));
    EXPECT_EQ(fs::file_size(at("mw.tmp")), 0u);

    // What the run's own file holds by then is shown as it is.
    const Bytes earlier = testing::cursorSlice(77);
    testing::writeFile(at("mw.tmp"), earlier);
    p.SetPreviewPicture(LoadPreview(p, set));
    EXPECT_EQ(p.preview, RecordingPlatform::imageOf(earlier));
    EXPECT_EQ(testing::readFile(at("mw.tmp")), earlier);
}

TEST(IsBareFileName, AcceptsOnlyNamesThatStayInTheProgramFolder) {
    struct Case {
        std::string name;
        bool bare;
    };
    const Case cases[] = {
        {"a.TWC", true},
        {"My arrows.TWC", true},
        {"a..b.TWC", true},
        {"\xC3\xBC" "ber.TWC", true},
        {"\xED\xA0\x80.TWC", true},              // a lone surrogate, as NTFS allows
        {"\xED\xA0\x80\xED\xB0\x80.TWC", false},  // not text: a pair spelt as two halves
        {"\xFF.TWC", false},
        {"CONSOLE.TWC", true},
        {"COM0.TWC", true},
        {"COM10.TWC", true},
        {std::string(251, 'x') + ".TWC", true},
        {std::string(252, 'x') + ".TWC", false},
        {"", false},
        {".", false},
        {"..", false},
        {"../a.TWC", false},
        {"a/b.TWC", false},
        {"a\\b.TWC", false},
        {"C:a.TWC", false},
        {"a.TWC:stream", false},
        {"a*.TWC", false},
        {"a?.TWC", false},
        {"a.TWC.", false},
        {"a.TWC ", false},
        {"con", false},
        {"CON.TWC", false},
        {"nul .TWC", false},
        {"COM1.TWC", false},
        {"lpt9.ini", false},
        {std::string("a\0b.TWC", 7), false},
        {"a\tb.TWC", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsBareFileName(c.name), c.bare) << '"' << c.name << '"';
}

}  // namespace
}  // namespace tarn
