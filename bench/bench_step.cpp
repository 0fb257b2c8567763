// Whole runs through the time step and through its plain form side by side, and the
// trial counts of survival one draw at a time and all at once.
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Simul.h"
#include "TrialCount.h"

namespace glebix {
namespace {

// A run of 300 steps; args: path (0 the plain step, 1 the step), threads.
// Items = individuals at the start of each step.
void RunOf300(benchmark::State &state, void (*configure)(TSettings &)) {
    const bool plain = state.range(0) == 0;
    auto s = std::make_unique<Simul>();
    configure(s->Settings);
    s->SetDispersalThreads(static_cast<int>(state.range(1)));
    std::int64_t items = 0;
    for (auto _ : state) {
        s->SetUpRun(BenchSeed);
        for (int step = 0; step < 300; ++step) {
            state.PauseTiming();
            items += Individuals(s->Plot);
            state.ResumeTiming();
            if (plain)
                s->TimeStepReference();
            else
                s->TimeStep();
        }
    }
    state.SetItemsProcessed(items);
}

void Defaults(TSettings &) {}
void Crowded(TSettings &t) {
    t.Species.Fecundity = "20";
    t.Species.Survival = "0.9";
}

void BM_DefaultRun300(benchmark::State &state) { RunOf300(state, Defaults); }
void BM_CrowdedRun300(benchmark::State &state) { RunOf300(state, Crowded); }

BENCHMARK(BM_DefaultRun300)
    ->ArgNames({"fast", "threads"})
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_CrowdedRun300)
    ->ArgNames({"fast", "threads"})
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// Trial counts of 1 to 100 trials at survival-like probabilities; arg: 0 one draw
// at a time (DrawCount), 1 all at once. Items = draws.
void BM_TrialCounts(benchmark::State &state) {
    std::mt19937 rng(BenchSeed);
    std::vector<std::int32_t> counts(4096);
    std::vector<double> probabilities(counts.size());
    std::int64_t drawsPerRound = 0;
    for (std::size_t k = 0; k < counts.size(); ++k) {
        counts[k] = 1 + static_cast<std::int32_t>(rng() % 100);
        probabilities[k] = (rng() % 1000) / 1000.0;
        drawsPerRound += counts[k];
    }
    Simul s;
    std::int64_t successes = 0;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            for (std::size_t k = 0; k < counts.size(); ++k) successes += s.DrawCount(counts[k], probabilities[k]);
        } else {
            for (std::size_t k = 0; k < counts.size(); ++k) {
                successes += CountSuccesses(s.RandomSeed, counts[k], probabilities[k]);
                s.RandomSeed = StateAfterTrials(s.RandomSeed, counts[k]);
            }
        }
    }
    benchmark::DoNotOptimize(successes);
    state.SetItemsProcessed(state.iterations() * drawsPerRound);
}
BENCHMARK(BM_TrialCounts)->ArgName("together")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace glebix

BENCHMARK_MAIN();
