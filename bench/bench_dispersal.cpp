// Individuals per second of the dispersal pass (fast and reference) and of a time
// step. Every case reports items = individuals that draw.
#include <cstdint>
#include <cstring>
#include <memory>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Simul.h"

namespace glebix {
namespace {

// Every cell at the cap, Compacted 33, the default species but for the sensitivity.
std::unique_ptr<Simul> SaturatedPlot(int sensitivity) {
    auto s = std::make_unique<Simul>();
    s->SetUpRun(BenchSeed);
    s->Species.DispersalSensitivity = sensitivity;
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            s->Plot.Env[i][j] = {33, 67};
            s->Plot.Density[i][j] = DensityCap;
        }
    }
    return s;
}

// Dispersal on the saturated plot; args: sensitivity, threads (0: the reference).
void BM_DisperseSaturated(benchmark::State &state) {
    const int sensitivity = static_cast<int>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    auto s = SaturatedPlot(sensitivity);
    s->SetDispersalThreads(threads > 0 ? threads : 1);
    const TPlot start = s->Plot;
    std::int64_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s->Plot.Density = start.Density;
        items += Individuals(s->Plot);
        state.ResumeTiming();
        if (threads > 0)
            s->Disperse();
        else
            s->DisperseReference();
        benchmark::DoNotOptimize(s->Plot.Density.Data());
    }
    state.SetItemsProcessed(items);
}
BENCHMARK(BM_DisperseSaturated)
    ->ArgNames({"sensitivity", "threads"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Args({2, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One time step from the state that the default settings reach after 100 steps.
void BM_TimeStepAfter100(benchmark::State &state) {
    auto s = std::make_unique<Simul>();
    s->SetUpRun(BenchSeed);
    for (int step = 0; step < 100; ++step) s->TimeStep();
    const TPlot start = s->Plot;
    const std::uint32_t seed = s->RandomSeed;
    std::int64_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s->Plot = start;
        s->RandomSeed = seed;
        state.ResumeTiming();
        s->TimeStep();
        items += Individuals(start);
    }
    state.SetItemsProcessed(items);
    state.counters["individuals"] = static_cast<double>(Individuals(start));
}
BENCHMARK(BM_TimeStepAfter100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace glebix
