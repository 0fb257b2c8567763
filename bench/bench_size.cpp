// Cost per cell-step of plots of several sizes side by side: the default settings
// scaled (homogeneous start of 2 per cell, random soil), 100 steps. Items = cell-steps,
// so items per second compare the sizes directly.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Simul.h"

namespace glebix {
namespace {

constexpr int SizeSteps = 100;

// The run of a benchmark of this file; args: side of the square plot, threads, edges
// (0 torus, 1 bounded).
std::unique_ptr<Simul> SizedRun(const benchmark::State &state) {
    auto s = std::make_unique<Simul>();
    s->Settings.Plot.Width = s->Settings.Plot.Height = std::to_string(state.range(0));
    s->Settings.Plot.Edges = state.range(2) ? EdgesBounded : EdgesTorus;
    s->Settings.Initial.DistInitMode = DistModeHomogeneous;
    s->SetDispersalThreads(static_cast<int>(state.range(1)));
    return s;
}

void BM_SizedRun100(benchmark::State &state) {
    const int side = static_cast<int>(state.range(0));
    auto s = SizedRun(state);
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

// The same runs with the step's processes timed apart, in the order of a step with
// the default DispersalFirst: ns per cell-step of each, to see which one a size or a
// thread count makes dearer. The clock read between processes costs nothing beside them.
void BM_SizedRunByProcess(benchmark::State &state) {
    using Clock = std::chrono::steady_clock;
    const int side = static_cast<int>(state.range(0));
    auto s = SizedRun(state);
    void (Simul::*const processes[])() = {&Simul::Reproduce, &Simul::ApplySurvival, &Simul::Disperse,
                                          &Simul::UpdateEnvironment};
    std::array<std::chrono::duration<double, std::nano>, std::size(processes)> spent{};
    std::int64_t cellSteps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s->SetUpRun(BenchSeed);
        state.ResumeTiming();
        for (int step = 0; step < SizeSteps; ++step) {
            for (std::size_t p = 0; p < std::size(processes); ++p) {
                const Clock::time_point start = Clock::now();
                ((*s).*processes[p])();
                spent[p] += Clock::now() - start;
            }
        }
        cellSteps += std::int64_t{side} * side * SizeSteps;
    }
    const char *names[] = {"reproduction", "survival", "dispersal", "environment"};
    for (std::size_t p = 0; p < std::size(processes); ++p)
        state.counters[names[p]] = spent[p].count() / static_cast<double>(cellSteps);
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

BENCHMARK(BM_SizedRunByProcess)
    ->ArgNames({"side", "threads", "bounded"})
    ->Args({50, 1, 0})
    ->Args({1000, 1, 0})
    ->Args({1000, 2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace glebix
