// Whole default runs without soil maps, with constant maps of both numbers (the same
// run) and with maps that vary, side by side: what the per-cell values cost, and that
// a run without them pays nothing.
#include <cstdint>
#include <memory>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Simul.h"

namespace glebix {
namespace {

constexpr int RunSteps = 300;
// The default CompactionC and DecompactionD, as their texts convert.
constexpr double DefaultC = 0.301, DefaultD = 5.658;

// Args: maps (0 none, 1 constant, 2 varying), threads. Items = individuals at the start of each step.
void BM_SoilMapRun300(benchmark::State &state) {
    const int maps = static_cast<int>(state.range(0));
    auto s = std::make_unique<Simul>();
    s->SetDispersalThreads(static_cast<int>(state.range(1)));
    SoilMaps soil;
    if (maps > 0) {
        soil.CompactionC.assign(CellCount, DefaultC);
        soil.DecompactionD.assign(CellCount, DefaultD);
        if (maps == 2)
            for (int c = 0; c < CellCount; ++c) {
                soil.CompactionC[c] = DefaultC * (0.5 + (c % GridSide) / static_cast<double>(GridSide));
                soil.DecompactionD[c] = DefaultD * (0.5 + (c / GridSide) / static_cast<double>(GridSide));
            }
    }
    std::int64_t items = 0;
    for (auto _ : state) {
        s->SetUpRun(BenchSeed);
        s->Plot.Soil = soil;
        for (int step = 0; step < RunSteps; ++step) {
            state.PauseTiming();
            items += Individuals(s->Plot);
            state.ResumeTiming();
            s->TimeStep();
        }
    }
    state.SetItemsProcessed(items);
}

BENCHMARK(BM_SoilMapRun300)
    ->ArgNames({"maps", "threads"})
    ->ArgsProduct({{0, 1, 2}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace glebix
