// LoadTWC and LoadPreview on arbitrary content: the raw input as a set file (almost
// always the wrong size, so silently ignored), the input repeated to exactly 35808
// bytes (a full load of sixteen slices), and the input's first line as a set name,
// which must never reach a file outside the program folder.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cursorset/cursorset.h"
#include "cursorset/files.h"
#include "support/fixtures.h"
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
    std::fprintf(stderr, "cursorset_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& dir = programFolder();
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
    LoadTWC(p, set, "fitted.TWC");
    require(p.messages.empty(), "a full-sized file was reported");
    for (std::size_t i = 0; i < kSliceCount; ++i)
        require(std::equal(set.images[i].begin(), set.images[i].end(), fitted.begin() + static_cast<std::ptrdiff_t>(i * kSliceBytes)) &&
                    set.images[i].size() == kSliceBytes,
                "an image is not its slice");
    try {
        p.SetPreviewPicture(LoadPreview(p, set));
    } catch (const PlatformError&) {
        // the slice is not a picture: the caller's handling applies
    }

    const std::string name(raw.begin(), std::find(raw.begin(), raw.end(), static_cast<unsigned char>('\n')));
    const int loadsBefore = p.count("LoadCursorFromFile");
    LoadTWC(p, set, name);
    if (!IsBareFileName(name)) require(p.count("LoadCursorFromFile") == loadsBefore, "a path-like name was followed");
    require(p.misuse().empty(), "platform misused");
    return 0;
}
