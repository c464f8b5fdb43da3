// The slow target: the loaders through real files in a program folder. The input is
// written as a set file as it is (almost always the wrong size, so silently ignored),
// repeated to exactly 35808 bytes (a full load of sixteen slices, or a refusal that
// changes nothing when none of them is a cursor), and as the settings
// file; its first line is also tried as a set name, which must never reach a file
// outside the program folder. The list of those sets must be what loading each in
// full gives, and the settings file must read as its text does in memory.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cursorset/cursorset.h"
#include "cursorset/library.h"
#include "files/file_names.h"
#include "settings/settings_text.h"
#include "support/fixtures.h"
#include "support/naive_list.h"
#include "support/recording_platform.h"

namespace {

using namespace tarn;
using tarn::testing::Bytes;
using tarn::testing::RecordingPlatform;

const tarn::testing::TempFolder& programFolder() {
    static const tarn::testing::TempFolder folder;
    return folder;
}

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "files_fuzzer: %s\n", what);
    std::abort();
}

void loadSets(const tarn::testing::TempFolder& dir, const std::uint8_t* data, std::size_t size) {
    RecordingPlatform p;
    p.programFolder = dir.path();
    CursorSet set;
    const Bytes raw(data, data + size);
    tarn::testing::writeFile(dir / "raw.TWC", raw);
    LoadTWC(p, set, "raw.TWC");
    require(size == kSetFileBytes || (p.calls().empty() && set.images[0].empty()), "a wrong-sized file loaded");

    Bytes fitted(kSetFileBytes, 0);
    for (std::size_t i = 0; size > 0 && i < fitted.size(); ++i) fitted[i] = data[i % size];
    tarn::testing::writeFile(dir / "fitted.TWC", fitted);
    const std::size_t said = p.messages.size();
    const CursorSet before = set;
    if (LoadTWC(p, set, "fitted.TWC"))
        require(p.messages.size() == said, "a full-sized file was reported");
    else
        require(p.messages.size() == said + 1 && set.images == before.images && set.handles == before.handles,
                "a set without a cursor replaced something, or was said other than once");
    LoadTWC(p, set, "fitted.TWC", {}, WithoutCursor::Take);
    require(p.messages.size() <= said + 1, "a full-sized file was reported");
    for (std::size_t i = 0; i < kSliceCount; ++i)
        require(set.images[i].size() == kSliceBytes &&
                    std::equal(set.images[i].begin(), set.images[i].end(), fitted.begin() + static_cast<std::ptrdiff_t>(i * kSliceBytes)),
                "an image is not its slice");

    const std::string name(raw.begin(), std::find(raw.begin(), raw.end(), static_cast<unsigned char>('\n')));
    const int loadsBefore = p.count("LoadImage");
    LoadTWC(p, set, name);
    if (!IsBareFileName(name)) require(p.count("LoadImage") == loadsBefore, "a path-like name was followed");
    require(p.misuse().empty(), "platform misused");
    set.scratch.remove(p);  // each input starts from a folder without a scratch file
}

void listSets(const tarn::testing::TempFolder& dir) {
    RecordingPlatform built, plain;
    built.programFolder = plain.programFolder = dir.path();
    CursorSet a, b;
    require(ShowIcons(built, a), "the list failed");
    a.scratch.remove(built);
    require(tarn::testing::ShowIconsLoadingEverySet(plain, b, {"fitted.TWC", "raw.TWC"}), "the plain list failed");
    b.scratch.remove(plain);
    require(built.messages == plain.messages, "the list's messages differ from loading every set");
    require(a.images == b.images, "the list left another set than loading every set");
    for (std::size_t i = 0; i < 2; ++i) require(built.imageList[i].image == plain.imageList[i].image, "another picture");
    require(built.misuse().empty(), "platform misused by the list");
}

void readSettings(const tarn::testing::TempFolder& dir, const std::uint8_t* data, std::size_t size) {
    tarn::testing::writeFile(dir / "Tarnwick.ini", Bytes(data, data + size));
    RecordingPlatform p;
    p.programFolder = dir.path();
    const Settings fromFile = LoadINI(p).value();
    Settings inMemory;
    std::vector<std::string> messages;
    ReadSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), inMemory,
                     [&](const std::string& d) { messages.push_back("LoadINI\n" + d); });
    require(SettingsText(fromFile, {0, 0, 0}, fromFile.stored.bytes) == SettingsText(inMemory, {0, 0, 0}, inMemory.setFile) &&
                fromFile.autoStart == inMemory.autoStart && fromFile.normal == inMemory.normal &&
                fromFile.busy == inMemory.busy,
            "the settings file reads otherwise than its text");
    require(p.messages.size() >= messages.size() && std::equal(messages.begin(), messages.end(), p.messages.begin()),
            "the settings file reports otherwise than its text");
    require(p.misuse().empty(), "platform misused by the settings reader");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& dir = programFolder();
    loadSets(dir, data, size);
    listSets(dir);
    readSettings(dir, data, size);
    return 0;
}
