// The list of sets built at start-up.
#include "cursorset/library.h"

#include <cstring>
#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::RecordingPlatform;
using testing::TempFolder;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

testing::ImageId previewOf(std::uint32_t setMark) {
    return RecordingPlatform::imageOf(testing::cursorSlice(setMark * 16 + 2));
}

Bytes wrongSize() { return Bytes(35807, 0); }

std::vector<std::string> keys(const RecordingPlatform& p) {
    std::vector<std::string> out;
    for (const auto& item : p.listItems) {
        EXPECT_EQ(item.text, item.key);
        EXPECT_EQ(item.iconKey, item.key);
        out.push_back(item.key);
    }
    return out;
}

std::vector<testing::ImageId> pictures(const RecordingPlatform& p) {
    std::vector<testing::ImageId> out;
    for (const auto& e : p.imageList) out.push_back(e.image);
    return out;
}

class LibraryTest : public ::testing::Test {
protected:
    TempFolder dir;
    RecordingPlatform p{dir.path()};
    CursorSet set;
};

TEST_F(LibraryTest, ListsEverySetFileInNameOrderWithItsOwnPreview) {
    testing::writeFile(dir / "b.TWC", testing::cursorSet(2));
    testing::writeFile(dir / "a.twc", testing::cursorSet(1));
    testing::writeFile(dir / "C.Twc", testing::cursorSet(3));
    testing::writeText(dir / "notes.txt", "not a set");
    testing::writeFile(dir / "d.TWC.bak", testing::cursorSet(4));
    fs::create_directory(dir / "e.TWC");
    p.listItems.push_back({"stale", "stale", "stale"});

    EXPECT_TRUE(ShowIcons(p, set));

    EXPECT_THAT(p.log({"ClearListViewSmallIcons", "ClearListView", "ClearImageList"}),
                ElementsAre("ClearListViewSmallIcons()", "ClearListView()", "ClearImageList()"));
    EXPECT_THAT(keys(p), ElementsAre("C", "a", "b"));
    EXPECT_EQ(testing::readFile(dir / "a.twc"), testing::cursorSet(1));  // sets are only read
    EXPECT_THAT(pictures(p), ElementsAre(previewOf(3), previewOf(1), previewOf(2)));
    EXPECT_TRUE(p.messages.empty());
    EXPECT_FALSE(p.ended);
    EXPECT_TRUE(p.misuse().empty());
}

TEST_F(LibraryTest, AnEmptyFolderGivesEmptyLists) {
    EXPECT_TRUE(ShowIcons(p, set));
    EXPECT_TRUE(p.listItems.empty());
    EXPECT_TRUE(p.imageList.empty());
    EXPECT_TRUE(p.messages.empty());
}

TEST_F(LibraryTest, ASetThatDoesNotLoadShowsThePreviousPreviewOrABlank) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, Bytes>> files;
        std::vector<testing::ImageId> expected;
    };
    const Case cases[] = {
        {"wrong size after a good set", {{"a.TWC", testing::cursorSet(1)}, {"b.TWC", wrongSize()}},
         {previewOf(1), previewOf(1)}},
        {"wrong size first on a first run", {{"a.TWC", wrongSize()}, {"b.TWC", testing::cursorSet(2)}},
         {"", previewOf(2)}},
        {"empty file first", {{"a.TWC", {}}, {"b.TWC", testing::cursorSet(2)}}, {"", previewOf(2)}},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        RecordingPlatform q{folder.path()};
        CursorSet fresh;
        for (const auto& [name, bytes] : c.files) testing::writeFile(folder / name, bytes);

        EXPECT_TRUE(ShowIcons(q, fresh)) << c.what;
        EXPECT_THAT(keys(q), ElementsAre("a", "b")) << c.what;
        EXPECT_EQ(pictures(q), c.expected) << c.what;
        EXPECT_TRUE(q.messages.empty()) << c.what;
        EXPECT_FALSE(q.ended) << c.what;
    }
}

TEST_F(LibraryTest, ANameWithALoneSurrogateIsListedByAKeyThatOpensTheSameFile) {
    // The core's spelling of the names NTFS can give: U+D800 and U+DC00 left unpaired.
    const std::string high = "\xED\xA0\x80", low = "\xED\xB0\x80";
    testing::writeFile(dir / (high + ".TWC"), testing::cursorSet(1));
    testing::writeText(dir / (low + ".txt"), "not a set");
    testing::writeFile(dir / "z.TWC", testing::cursorSet(2));

    EXPECT_TRUE(ShowIcons(p, set));
    EXPECT_THAT(keys(p), ElementsAre("z", high));
    EXPECT_THAT(pictures(p), ElementsAre(previewOf(2), previewOf(1)));
    EXPECT_TRUE(p.messages.empty());

    LoadTWC(p, set, p.listItems[1].key + ".TWC");  // what a double-click on it loads
    EXPECT_EQ(set.images[0], testing::cursorSlice(16));
    EXPECT_TRUE(p.messages.empty());
}

// Deletes a file once the first item is in the list: the set was listed, then vanished.
class VanishingPlatform : public RecordingPlatform {
public:
    fs::path vanishing;
    void AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) override {
        RecordingPlatform::AddListViewItem(key, text, iconKey);
        fs::remove(vanishing);
    }
};

TEST_F(LibraryTest, ASetThatVanishesAfterListingIsStillListedQuietly) {
    VanishingPlatform q;
    q.programFolder = dir.path();
    q.vanishing = dir / "b.TWC";
    testing::writeFile(dir / "a.TWC", testing::cursorSet(1));
    testing::writeFile(dir / "b.TWC", testing::cursorSet(2));

    EXPECT_TRUE(ShowIcons(q, set));
    EXPECT_THAT(keys(q), ElementsAre("a", "b"));
    EXPECT_THAT(pictures(q), ElementsAre(previewOf(1), previewOf(1)));
    EXPECT_TRUE(q.messages.empty());
}

TEST_F(LibraryTest, AFailingListOperationIsReportedNamingTheFile) {
    struct Case {
        const char* call;
        const char* fileName;
        std::size_t itemsLeft;
    };
    const Case cases[] = {
        {"ClearListViewSmallIcons", "", 0},
        {"ClearListView", "", 0},
        {"ClearImageList", "", 0},
        {"AddImageListPicture", "a.TWC", 0},
        {"AddListViewItem", "a.TWC", 0},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        RecordingPlatform q{folder.path()};
        CursorSet fresh;
        testing::writeFile(folder / "a.TWC", testing::cursorSet(1));
        testing::writeFile(folder / "b.TWC", testing::cursorSet(2));
        q.failCall(c.call);

        EXPECT_FALSE(ShowIcons(q, fresh)) << c.call;
        ASSERT_EQ(q.messages.size(), 1u) << c.call;
        EXPECT_THAT(q.messages[0], StartsWith(std::string("ShowIcons\n") + c.fileName + "\n")) << c.call;
        EXPECT_GT(q.messages[0].size(), std::string("ShowIcons\n\n").size() + std::strlen(c.fileName)) << c.call;
        EXPECT_EQ(q.log().back().rfind("MessageBox(", 0), 0u) << c.call;  // nothing runs after the report
        EXPECT_EQ(q.listItems.size(), c.itemsLeft) << c.call;
    }
}

TEST(ListFailuresTest, EachCauseIsSaidOnceNamingTheFirstSetAndHowManyItHit) {
    struct Case {
        const char* what;
        std::vector<std::string> files;  // "->" makes a link to itself, which cannot be looked at
        std::function<void(RecordingPlatform&, const fs::path&)> arrange;
        std::vector<std::string> keys;
        std::vector<std::pair<std::string, std::string>> boxes;  // the set named, how the text ends
        bool stopInFirstBox = false;
        std::vector<testing::ImageId> pictures = {};  // checked when given
    };
    const auto scratchFolder = [](RecordingPlatform&, const fs::path& f) {
        fs::remove(f / "mw.tmp");
        fs::create_directory(f / "mw.tmp");
    };
    const auto refuse = [](int nth) {
        return [nth](RecordingPlatform& q, const fs::path&) { q.failCall("LoadPicture", nth); };
    };
    const Case cases[] = {
        {"a scratch file that takes no write", {"a.TWC", "b.TWC", "c.TWC", "d.TWC"}, scratchFolder,
         {"a", "b", "c", "d"}, {{"a.TWC", ": it is a folder now, not the file Tarnwick made (4 sets)"}}},
        {"a preview the picture loader refuses", {"a.TWC", "b.TWC", "c.TWC"}, refuse(2), {"a", "b", "c"},
         {{"b.TWC", "\nInvalid picture"}}},
        {"two sets that cannot be looked at, then another cause", {"a.TWC->", "b.TWC->", "c.TWC"}, refuse(3),
         {"a", "b", "c"},
         {{"a.TWC", ": Too many levels of symbolic links (2 sets)"}, {"c.TWC", "\nInvalid picture"}}},
        {"a close request in the first box", {"a.TWC->", "b.TWC->", "c.TWC"}, refuse(3), {"a", "b", "c"},
         {{"a.TWC", "(2 sets)"}}, true},
        {"sets that differ only in case", {"Blue.twc", "Blue.TWC", "blue.TWC"}, {}, {"Blue", "blue"}, {}, false,
         {previewOf(2), previewOf(3)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        RecordingPlatform q{folder.path()};
        CursorSet set;
        std::uint32_t mark = 0;
        for (std::string name : c.files) {
            if (!name.ends_with("->")) {
                testing::writeFile(folder / name, testing::cursorSet(++mark));
                continue;
            }
            name.resize(name.size() - 2);
            fs::create_symlink(name, folder / name);
        }
        testing::writeFile(folder / "r.TWC", testing::cursorSet(9));
        LoadTWC(q, set, "r.TWC");  // the remembered set, as the settings reader leaves it
        fs::remove(folder / "r.TWC");
        if (c.arrange) c.arrange(q, folder.path());
        bool closing = false;
        if (c.stopInFirstBox) q.duringMessageBox.push_back([&] { closing = true; });
        q.clearLog();

        EXPECT_TRUE(ShowIcons(q, set, [&] { return closing; }));
        EXPECT_EQ(keys(q), c.keys);
        if (!c.pictures.empty()) {
            EXPECT_EQ(pictures(q), c.pictures);
        }
        ASSERT_EQ(q.messages.size(), c.boxes.size());
        for (std::size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_THAT(q.messages[i], StartsWith("ShowIcons\n" + c.boxes[i].first + "\n"));
            EXPECT_THAT(q.messages[i], EndsWith(c.boxes[i].second));
        }
        if (!c.boxes.empty()) {
            EXPECT_EQ(q.log().back().rfind("MessageBox(", 0), 0u);  // the boxes come last
        }
    }
}

// The user's own sets come after the program folder's; a name the program folder has, in
// any letter case, is its set alone, in the list as in a load by name.
TEST(ShowIcons, ListsTheUsersOwnSetsAfterTheProgramsAndANameInBothOnce) {
    const struct {
        const char* what;
        std::function<void(const fs::path& sets)> make;
        std::vector<std::string> keys;
        std::size_t boxes;
    } cases[] = {
        {"no folder of the user's sets", [](const fs::path&) {}, {"Blue", "b"}, 0},
        {"a file in the folder's place", [](const fs::path& f) { testing::writeText(f, "x"); }, {"Blue", "b"}, 1},
        {"the user's sets",
         [](const fs::path& f) {
             fs::create_directory(f);
             for (const auto& [name, mark] : {std::pair{"a.TWC", 3}, {"b.TWC", 5}, {"blue.twc", 4}, {"c.TWC", 6}})
                 testing::writeFile(f / name, testing::cursorSet(mark));
         },
         {"Blue", "b", "a", "c"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder root;
        const Folders folders{root / "Tarnwick", root / "Local", root / "Tarnwick", root / "Tarnwick"};
        fs::create_directory(folders.program);
        fs::create_directory(folders.user);
        testing::writeFile(folders.program / "b.TWC", testing::cursorSet(2));
        testing::writeFile(folders.program / "Blue.TWC", testing::cursorSet(1));
        c.make(folders.user / "Sets");
        RecordingPlatform p;
        CursorSet set;
        EXPECT_TRUE(ShowIcons(p, set, {}, folders));
        EXPECT_EQ(keys(p), c.keys);
        ASSERT_EQ(p.messages.size(), c.boxes);
        for (const std::string& box : p.messages)
            EXPECT_THAT(box, StartsWith("ShowIcons\n" + (folders.user / "Sets").string() + "\n"));
        if (c.keys.size() < 4) continue;
        EXPECT_EQ(pictures(p), (std::vector{previewOf(1), previewOf(2), previewOf(3), previewOf(6)}));
        for (const auto& [name, mark] : {std::pair{"b.TWC", 2u}, {"c.TWC", 6u}, {"BLUE.twc", 1u}}) {
            LoadTWC(p, set, name, folders);
            EXPECT_EQ(set.images[0], testing::cursorSlice(mark * 16)) << name;
        }
    }
}

}  // namespace
}  // namespace tarn
