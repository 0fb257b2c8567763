// Cost per cell-step of plots of several sizes side by side: the default settings
// scaled (homogeneous start of 2 per cell, random soil), 100 steps. Items = cell-steps,
// so items per second compare the sizes directly.
#include <cstdint>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Simul.h"

namespace glebix {
namespace {

constexpr int SizeSteps = 100;

// args: side of the square plot, threads, edges (0 torus, 1 bounded).
void BM_SizedRun100(benchmark::State &state) {
    const int side = static_cast<int>(state.range(0));
    auto s = std::make_unique<Simul>();
    s->Settings.Plot.Width = s->Settings.Plot.Height = std::to_string(side);
    s->Settings.Plot.Edges = state.range(2) ? EdgesBounded : EdgesTorus;
    s->Settings.Initial.DistInitMode = DistModeHomogeneous;
    s->SetDispersalThreads(static_cast<int>(state.range(1)));
    std::int64_t cellSteps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s->SetUpRun(BenchSeed);  // the grids are made at the first run only
        state.ResumeTiming();
        for (int step = 0; step < SizeSteps; ++step) s->TimeStep();
        cellSteps += std::int64_t{side} * side * SizeSteps;
    }
    state.SetItemsProcessed(cellSteps);
    state.counters["ns_per_cell_step"] =
        benchmark::Counter(static_cast<double>(cellSteps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SizedRun100)
    ->ArgNames({"side", "threads", "bounded"})
    ->Args({50, 1, 0})
    ->Args({1000, 1, 0})
    ->Args({50, 2, 0})
    ->Args({1000, 2, 0})
    ->Args({1000, 1, 1})
    ->Args({1000, 2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
}  // namespace glebix
