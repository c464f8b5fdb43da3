// A set's load with its large pictures (each direction scaled from its 256-pixel cell to
// the pointer size, a one-image cursor file through the scratch file) against the same
// set without them (the 32 x 32 slices through the scratch file, for the system to
// stretch), side by side on the recording fake at 150 % (48-pixel pointers). The ratio of
// the two is the cost of sharp pointers per load: at start-up, OK and a double-click.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "cursorset/cursorset.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

namespace fs = std::filesystem;

template <bool kLargePictures>
void BM_LoadBundledSet(benchmark::State& state) {
    tarn::testing::TempFolder dir;
    const fs::path sets = TARN_BUNDLED_SETS;
    fs::copy_file(sets / "Dart.TWC", dir / "Dart.TWC");
    if (kLargePictures) fs::copy_file(sets / "Dart.png", dir / "Dart.png");
    for (auto _ : state) {
        tarn::testing::RecordingPlatform p;
        p.programFolder = dir.path();
        tarn::CursorSet set;
        set.side = static_cast<int>(state.range(0));
        const bool loaded = tarn::LoadTWC(p, set, "Dart.TWC");
        if (!loaded || (set.companions[0] != nullptr) != kLargePictures)
            state.SkipWithError(("not loaded as meant: " + (p.messages.empty() ? std::string() : p.messages[0])).c_str());
        benchmark::DoNotOptimize(set.handles);
        set.scratch.remove(p);  // each run makes its own
    }
}

void BM_LoadWithLargePictures(benchmark::State& state) { BM_LoadBundledSet<true>(state); }
void BM_LoadSlicesOnly(benchmark::State& state) { BM_LoadBundledSet<false>(state); }

BENCHMARK(BM_LoadSlicesOnly)->Arg(48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWithLargePictures)->Arg(48)->Arg(96)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
