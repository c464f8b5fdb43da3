// Start-up cost of the set list, per listed set, on the recording fake: ShowIcons
// (each set read, only its preview slice through the scratch file, pointers made once
// at the end) against the plain way it replaced, every set loaded in full (sixteen
// scratch writes and cursor loads) and then previewed. per_set is the time per listed
// set; with 200 sets the difference between the two is the cost the list adds per set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cursorset/library.h"
#include "support/fixtures.h"
#include "support/naive_list.h"
#include "support/recording_platform.h"

namespace {

template <bool kLoadEverySet>
void BM_SetList(benchmark::State& state) {
    const auto sets = static_cast<std::uint32_t>(state.range(0));
    tarn::testing::TempFolder dir;
    std::vector<std::string> files;
    for (std::uint32_t i = 0; i < sets; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set%03u.TWC", i);
        tarn::testing::writeFile(dir / name, tarn::testing::cursorSet(i + 1));
        files.push_back(name);
    }
    for (auto _ : state) {
        tarn::testing::RecordingPlatform p;
        p.programFolder = dir.path();
        tarn::CursorSet set;
        const bool ok =
            kLoadEverySet ? tarn::testing::ShowIconsLoadingEverySet(p, set, files) : tarn::ShowIcons(p, set);
        benchmark::DoNotOptimize(ok);
        if (!ok || p.listItems.size() != sets) state.SkipWithError("the list does not hold every set");
    }
    const auto listed = static_cast<double>(state.iterations()) * sets;
    state.SetItemsProcessed(static_cast<std::int64_t>(listed));
    state.counters["per_set"] = benchmark::Counter(listed, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ShowIcons(benchmark::State& state) { BM_SetList<false>(state); }
void BM_LoadEverySetThenPreview(benchmark::State& state) { BM_SetList<true>(state); }

BENCHMARK(BM_LoadEverySetThenPreview)->Arg(1)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowIcons)->Arg(1)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
