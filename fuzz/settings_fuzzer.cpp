// LoadINI on arbitrary file content, in a real temporary program folder with the
// recording platform. Beyond not crashing: the numbers always end up in range, the
// platform is never misused, every message carries its routine's tag, and what
// SaveINI writes reads back to the same record.
#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include "cursorset/cursorset.h"
#include "settings/settings.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

using namespace tarn;
using tarn::testing::RecordingPlatform;

const tarn::testing::TempFolder& programFolder() {
    static const tarn::testing::TempFolder folder;
    static const bool ready = [] {
        tarn::testing::writeFile(folder / "a.TWC", tarn::testing::cursorSet(1));
        return true;
    }();
    (void)ready;
    return folder;
}

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "settings_fuzzer: %s\n", what);
    std::abort();
}

bool sameRecord(const Settings& a, const Settings& b) {
    return a.autoStart == b.autoStart && a.normal == b.normal && a.busy == b.busy && a.interval == b.interval &&
           a.sliderPosition == b.sliderPosition && a.setFile == b.setFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& dir = programFolder();
    tarn::testing::writeFile(dir / "Tarnwick.ini", tarn::testing::Bytes(data, data + size));

    RecordingPlatform p;
    p.programFolder = dir.path();
    Settings s;
    CursorSet set;
    LoadINI(p, s, set);

    require(s.interval >= 1 && s.interval <= 255, "tick interval out of range");
    require(s.sliderPosition >= 1 && s.sliderPosition <= 255, "slider position out of range");
    require(p.misuse().empty(), "platform misused");
    for (const auto& m : p.messages)
        require(m.rfind("LoadINI\n", 0) == 0 || m.rfind("LoadTWC\n", 0) == 0, "message without its tag");

    p.checks = {{0, s.autoStart ? 1 : 0}, {1, s.normal ? 1 : 0}, {2, s.busy ? 1 : 0}};
    require(SaveINI(p, s), "SaveINI failed");
    RecordingPlatform q;
    q.programFolder = dir.path();
    Settings again;
    CursorSet set2;
    LoadINI(q, again, set2);
    require(sameRecord(s, again), "saved settings do not read back");
    return 0;
}
