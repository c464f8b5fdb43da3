// Start-up cost of the set list: ShowIcons loads every set in full (sixteen scratch
// writes and cursor loads) only to make its preview. One set against 200 sets shows
// how that cost grows; items/s is sets listed per second.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "cursorset/library.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

void BM_ShowIcons(benchmark::State& state) {
    const auto sets = static_cast<std::uint32_t>(state.range(0));
    tarn::testing::TempFolder dir;
    for (std::uint32_t i = 0; i < sets; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set%03u.TWC", i);
        tarn::testing::writeFile(dir / name, tarn::testing::cursorSet(i + 1));
    }
    for (auto _ : state) {
        tarn::testing::RecordingPlatform p;
        p.programFolder = dir.path();
        tarn::CursorSet set;
        const bool ok = tarn::ShowIcons(p, set);
        benchmark::DoNotOptimize(ok);
        if (!ok || p.listItems.size() != sets) state.SkipWithError("ShowIcons did not list every set");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * sets);
}

BENCHMARK(BM_ShowIcons)->Arg(1)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
