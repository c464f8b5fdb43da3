// The list builder against the plain way of building the list (every set loaded in
// full, then its preview): the same pictures, messages, set, pointers and scratch file,
// on real folders, with sets that do not load and faults in the middle.
#include "cursorset/library.h"

#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/naive_list.h"
#include "support/recording_platform.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ImageId;
using testing::RecordingPlatform;
using testing::TempFolder;

// Runs an action after each list item is added: the moment a set is listed and not
// yet read.
class ListingPlatform : public RecordingPlatform {
public:
    std::function<void(int)> afterItem;
    void AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) override {
        RecordingPlatform::AddListViewItem(key, text, iconKey);
        if (afterItem) afterItem(++items_);
    }

private:
    int items_ = 0;
};

struct Outcome {
    bool ok = false;
    std::vector<std::string> keys, messages, misuse;
    std::vector<ImageId> pictures;
    std::array<Bytes, kSliceCount> images;
    std::array<ImageId, kSliceCount> pointers;
    std::array<int, kSliceCount> madeAt;  // 0 where a slot's pointer is older than its image
    Bytes scratch;
    int cursorLoads = 0;
};

struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::string remembered = {};  // loaded before the list, as the settings reader does
    std::function<void(ListingPlatform&, const fs::path&)> arrange = {};
    // The scratch file stops taking writes half way through the list, so the pointers the
    // loads made on the way cannot be made at the end: old pointers, and the failure is
    // the one the list already says.
    bool pointersLost = false;
};

Bytes withBrokenSlices(std::uint32_t mark, std::initializer_list<std::size_t> slices) {
    Bytes set = testing::cursorSet(mark);
    for (const std::size_t i : slices) set[i * kSliceBytes + 2] = 1;  // claims to be an icon
    return set;
}

Outcome build(const Case& c, const fs::path& folder, const std::vector<std::string>* files) {
    for (const auto& e : fs::directory_iterator(folder)) fs::remove_all(e.path());
    c.make(folder);
    ListingPlatform p;
    p.programFolder = folder;
    CursorSet set;
    if (!c.remembered.empty()) LoadTWC(p, set, c.remembered);
    if (c.arrange) c.arrange(p, folder);
    const int loadsBefore = p.count("LoadImage");
    Outcome out;
    out.ok = files ? testing::ShowIconsLoadingEverySet(p, set, *files) : ShowIcons(p, set);
    out.cursorLoads = p.count("LoadImage") - loadsBefore;
    for (const auto& call : p.calls())
        if (call.name == "AddImageListPicture") out.keys.push_back(call.args.substr(1, call.args.find('"', 1) - 1));
    for (const auto& e : p.imageList) out.pictures.push_back(e.image);
    out.messages = p.messages;
    out.misuse = p.misuse();
    for (std::size_t i = 0; i < kSliceCount; ++i) {
        out.images[i] = set.images[i];
        out.pointers[i] = p.imageOfHandle(set.handles[i]);
    }
    out.madeAt = set.madeAt;
    if (fs::is_regular_file(folder / "mw.tmp")) out.scratch = testing::readFile(folder / "mw.tmp");
    return out;
}

TEST(ListPreviews, ShowIconsGivesWhatLoadingEverySetGives) {
    const auto sets = [](std::vector<std::pair<std::string, Bytes>> files) {
        return [files](const fs::path& f) {
            for (const auto& [name, bytes] : files) testing::writeFile(f / name, bytes);
        };
    };
    const auto set = testing::cursorSet;
    const Bytes wrongSize(kSetFileBytes - 1, 0);
    const Case cases[] = {
        {"three sets", sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}, {"c.TWC", set(3)}})},
        {"sets that do not load after the remembered one",
         sets({{"a.TWC", set(1)}, {"b.TWC", wrongSize}, {"c.TWC", {}}, {"d.TWC", Bytes(2 * kSetFileBytes, 0)}}),
         "a.TWC"},
        {"a first run whose first set does not load", sets({{"a.TWC", wrongSize}, {"b.TWC", set(2)}})},
        {"names the loader does not follow",
         sets({{"NUL.TWC", set(1)}, {"a\\b.TWC", set(2)}, {"c.TWC", set(3)}, {"d.TWC", wrongSize}})},
        {"slices that are not cursors, the preview's among them",
         sets({{"a.TWC", set(1)}, {"b.TWC", withBrokenSlices(2, {2, 5})}, {"c.TWC", withBrokenSlices(3, {0, 15})}})},
        {"the scratch file is a folder",
         [&](const fs::path& f) {
             sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}})(f);
             fs::create_directory(f / "mw.tmp");
         },
         "a.TWC"},
        {"a longer scratch file left over and nothing loaded yet",
         [&](const fs::path& f) {
             Bytes left = testing::cursorSlice(77);
             left.resize(4000, 0xAB);
             testing::writeFile(f / "mw.tmp", left);
             sets({{"a.TWC", wrongSize}, {"b.TWC", set(2)}, {"c.TWC", wrongSize}})(f);
         }},
        {"a set vanishes and another changes after listing",
         sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}, {"c.TWC", set(3)}}), "",
         [](ListingPlatform& p, const fs::path& f) {
             p.afterItem = [f](int item) {
                 if (item != 1) return;
                 fs::remove(f / "b.TWC");
                 testing::writeFile(f / "c.TWC", testing::cursorSet(9));
             };
         }},
        {"the scratch file turns into a folder after the first set",
         sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}, {"c.TWC", wrongSize}}), "",
         [](ListingPlatform& p, const fs::path& f) {
             p.afterItem = [f](int item) {
                 if (item != 1) return;
                 fs::remove(f / "mw.tmp");
                 fs::create_directory(f / "mw.tmp");
             };
         },
         true},
        {"the scratch file cannot be written for one set only",
         sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}, {"c.TWC", wrongSize}}), "",
         [](ListingPlatform& p, const fs::path& f) {
             p.afterItem = [f](int item) {
                 if (item == 1) fs::rename(f / "mw.tmp", f / "kept"), fs::create_directory(f / "mw.tmp");
                 if (item == 2) fs::remove(f / "mw.tmp"), fs::rename(f / "kept", f / "mw.tmp");
             };
         }},
        {"the list fails at its second picture", sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}, {"c.TWC", set(3)}}),
         "c.TWC", [](ListingPlatform& p, const fs::path&) { p.failCall("AddImageListPicture", 2); }},
        {"a picture the system refuses", sets({{"a.TWC", set(1)}, {"b.TWC", set(2)}}), "",
         [](ListingPlatform& p, const fs::path&) { p.failCall("LoadPicture", 1); }},
    };
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome built = build(c, dir.path(), nullptr);
        std::vector<std::string> files;
        for (const auto& key : built.keys) files.push_back(key + ".TWC");
        Outcome plain = build(c, dir.path(), &files);
        EXPECT_LE(built.cursorLoads, static_cast<int>(kSliceCount)) << "pointers are made once";
        EXPECT_TRUE(built.misuse.empty());
        EXPECT_EQ(built.ok, plain.ok);
        EXPECT_EQ(built.keys, plain.keys);
        EXPECT_EQ(built.pictures, plain.pictures);
        EXPECT_EQ(built.images, plain.images);
        if (c.pointersLost) {
            EXPECT_EQ(built.pointers, decltype(built.pointers){});
        } else {
            EXPECT_EQ(built.pointers, plain.pointers);
            EXPECT_EQ(built.madeAt, plain.madeAt);
        }
        EXPECT_EQ(built.messages, plain.messages);
        EXPECT_EQ(built.scratch, plain.scratch);
        EXPECT_FALSE(built.keys.empty());
    }
}

}  // namespace
}  // namespace tarn
