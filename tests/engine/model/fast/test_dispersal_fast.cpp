// The fast dispersal pass against the reference pass: same counts, same generator
// state, same faults, on random plots and settings; and no allocation per step.
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "DispersalKernel.h"
#include "Errors.h"
#include "Random.h"
#include "Simul.h"

// Every allocation of this test program is counted.
namespace {
std::atomic<long> allocations{0};
void *CountedAllocation(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void *CountedAlignedAllocation(std::size_t size, std::align_val_t align) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(align);
    if (void *p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}
}  // namespace

void *operator new(std::size_t size) { return CountedAllocation(size); }
void *operator new[](std::size_t size) { return CountedAllocation(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void *operator new(std::size_t size, std::align_val_t align) { return CountedAlignedAllocation(size, align); }
void *operator new[](std::size_t size, std::align_val_t align) { return CountedAlignedAllocation(size, align); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace glebix {
namespace {

std::uint32_t Step(std::uint32_t state, std::uint64_t steps) {
    for (std::uint64_t k = 0; k < steps; ++k) state = state * 134775813u + 1u;
    return state;
}

TEST(RandomJump, EqualsStepByStep) {
    for (std::uint64_t steps : {0ull, 1ull, 2ull, 3ull, 255ull, 256ull, 1000ull, 65537ull, 1234567ull}) {
        for (std::uint32_t seed : {0u, 1u, 0xdeadbeefu, 0xffffffffu}) {
            EXPECT_EQ(AdvanceRandom(seed, steps), Step(seed, steps)) << steps << " steps from " << seed;
        }
    }
    // The period is 2^32: only the low 32 bits of the step count matter.
    EXPECT_EQ(AdvanceRandom(12345u, 1ull << 32), 12345u);
    EXPECT_EQ(AdvanceRandom(12345u, (1ull << 32) + 7), Step(12345u, 7));
    // Jumps compose.
    EXPECT_EQ(AdvanceRandom(AdvanceRandom(12345u, 3000000000ull), 2000000000ull), AdvanceRandom(12345u, 5000000000ull));
}

// The reference's offsets of one individual drawn from the two states.
std::pair<std::int64_t, std::int64_t> ReferenceOffsets(std::uint32_t state1, std::uint32_t state2, double scale) {
    const double u1 = state1 * (1.0 / 4294967296.0);
    const double theta = 2.0 * u1 * 3.14159265358979323846;
    const double u2 = state2 * (1.0 / 4294967296.0);
    const double radius = std::sqrt(-2.0 * std::log(std::max(u2, 0.001)));
    return {static_cast<std::int64_t>(std::nearbyint(std::cos(theta) * radius * scale / 1)),
            static_cast<std::int64_t>(std::nearbyint(std::sin(theta) * radius * scale / 1))};
}

TEST(ApproximateOffsets, AreExactOrMarkedForRecomputation) {
    std::mt19937 rng(7);
    std::int32_t di[OffsetBlock], dj[OffsetBlock], plainDi[OffsetBlock], plainDj[OffsetBlock];
    std::uint32_t states1[OffsetBlock], states2[OffsetBlock];
    for (double scale : {0.5, -0.5, 0.25, 0.7, 1.0, 1.9785, 3.3, 13.59, 100.0, 12345.678, 250000.0}) {
        long marked = 0, total = 0;
        for (int block = 0; block < 400; ++block) {
            const std::uint32_t state = rng();
            const int count = 1 + static_cast<int>(rng() % OffsetBlock);
            BlockStates(state, count, states1, states2);
            ApproximateOffsets(states1, states2, count, scale, di, dj);
            // The SSE2 build (used where AVX2 is missing) gives the same entries.
            ApproximateOffsetsSse2(states1, states2, count, scale, plainDi, plainDj);
            ASSERT_EQ(std::memcmp(di, plainDi, count * sizeof di[0]), 0) << "scale " << scale;
            ASSERT_EQ(std::memcmp(dj, plainDj, count * sizeof dj[0]), 0) << "scale " << scale;
            for (int k = 0; k < count; ++k, ++total) {
                if (di[k] == OffsetToRecompute) {
                    ++marked;
                    continue;
                }
                ASSERT_EQ(states1[k], AdvanceRandom(state, 2 * k + 1));
                ASSERT_EQ(states2[k], AdvanceRandom(state, 2 * k + 2));
                const auto [ri, rj] = ReferenceOffsets(states1[k], states2[k], scale);
                ASSERT_EQ(di[k], ri) << "scale " << scale << ", state " << state << ", individual " << k;
                ASSERT_EQ(dj[k], rj) << "scale " << scale << ", state " << state << ", individual " << k;
            }
        }
        // The margin is relative to the reach, so only moderate scales mark rarely.
        if (std::fabs(scale) <= 100) { EXPECT_LT(marked * 1000, total) << "scale " << scale; }
    }
}

// Draws that sit exactly on a rounding boundary in the exact expression are marked.
TEST(ApproximateOffsets, MarksExactHalves) {
    // From this state U1 = 0 (cos 1, sin 0) and U2 = 2^-32, floored to 0.001, so the
    // first individual's x is R * scale: pick scales that make it exactly a half.
    const std::uint32_t state = AdvanceRandom(0u, 0xffffffffu);
    ASSERT_EQ(state * 134775813u + 1u, 0u);
    const double radius = std::sqrt(-2.0 * std::log(0.001));
    std::int32_t di[OffsetBlock], dj[OffsetBlock];
    std::uint32_t states1[OffsetBlock], states2[OffsetBlock];
    BlockStates(state, 4, states1, states2);
    int tested = 0;
    for (double target : {0.5, 1.5, 2.5, -0.5, -3.5}) {
        double scale = target / radius;
        for (int k = 0; k < 64 && 1.0 * radius * scale / 1 != target; ++k)
            scale = std::nextafter(scale, 1.0 * radius * scale / 1 < target ? INFINITY : -INFINITY);
        if (1.0 * radius * scale / 1 != target) continue;
        ++tested;
        ApproximateOffsets(states1, states2, 4, scale, di, dj);
        EXPECT_EQ(di[0], OffsetToRecompute) << target;
    }
    EXPECT_GE(tested, 3);
    // So are values within the approximation's error bound of a half, on either side.
    for (double target : {0.5, 1.5, 2.5, -0.5, -3.5}) {
        for (double relative : {-1e-9, -1e-11, 1e-11, 1e-9}) {
            ApproximateOffsets(states1, states2, 4, target * (1 + relative) / radius, di, dj);
            EXPECT_EQ(di[0], OffsetToRecompute) << target << " (1 + " << relative << ")";
        }
    }
}

// ---- The pass against the reference -----------------------------------------

struct PassSetting {
    double sigma;
    std::int32_t sensitivity;
    double compactionC;
    std::int32_t cellSize;
};

void Configure(Simul &s, const PassSetting &p) {
    s.Species = RunSpecies{};
    s.Species.DispersalSigma = p.sigma;
    s.Species.DispersalSensitivity = p.sensitivity;
    s.Species.CompactionC = p.compactionC;
    s.Plot.CellSize = p.cellSize;
    s.Plot.NRows = s.Plot.NCols = 50 * p.cellSize;
}

enum class PlotKind { Few, Signed, Sparse, Dense, Crowded };

void FillPlot(Simul &s, PlotKind kind, std::mt19937 &rng) {
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            const double compacted = rng() % 5 == 0 ? 0.0 : (rng() % 100000) / 1000.0;
            s.Plot.Env[i][j] = {compacted, 100 - compacted};
            std::int32_t n = 0;
            switch (kind) {
            case PlotKind::Few:
                n = static_cast<std::int32_t>(rng() % 21);
                break;
            case PlotKind::Signed:
                n = static_cast<std::int32_t>(rng() % 151) - 50;
                break;
            case PlotKind::Sparse:
                n = rng() % 200 == 0 ? static_cast<std::int32_t>(rng() % 30001) : 0;
                break;
            case PlotKind::Dense:
                n = static_cast<std::int32_t>(rng() % 101);
                break;
            case PlotKind::Crowded:
                n = (i + j) % 7 == 0 && i % 8 == 0 ? static_cast<std::int32_t>(rng() % 12001) : 0;
                break;
            }
            s.Plot.Density[i][j] = n;
        }
    }
}

struct Outcome {
    std::optional<std::string> fault;
    std::uint32_t seed;
    TPlot plot;
};

Outcome RunPass(Simul &s, bool reference) {
    Outcome o;
    try {
        reference ? s.DisperseReference() : s.Disperse();
    } catch (const GlebixError &e) { o.fault = e.what(); }
    o.seed = s.RandomSeed;
    o.plot = s.Plot;
    return o;
}

void ExpectSameOutcome(const Outcome &ref, const Outcome &fast, const TPlot &before, const std::string &what) {
    EXPECT_EQ(ref.fault.value_or("-"), fast.fault.value_or("-")) << what;
    EXPECT_EQ(ref.seed, fast.seed) << what;
    EXPECT_TRUE(ref.plot.Density == fast.plot.Density) << what;
    if (ref.fault) { EXPECT_TRUE(before.Density == fast.plot.Density) << what; }
}

// Runs `passes` passes from the same state through both, checking after each.
void CompareOn(Simul &ref, Simul &fast, int passes, const std::string &what) {
    for (int pass = 1; pass <= passes; ++pass) {
        TPlot before;
        before = fast.Plot;
        const Outcome r = RunPass(ref, true);
        const Outcome f = RunPass(fast, false);
        ExpectSameOutcome(r, f, before, what + ", pass " + std::to_string(pass));
        if (r.fault || ::testing::Test::HasFailure()) return;
    }
}

TEST(FastDispersal, MatchesTheReferenceOnRandomPlotsAndSettings) {
    const PassSetting settings[] = {
        {0.5, 0, 0.301, 1},  {0.5, 2, 0.301, 1},   {0.0, 0, 0.301, 1},  {1e-3, 1, 0.301, 1},   {0.3, 3, 0.05, 1},
        {0.8, 0, 0.0, 1},    {1.3, -2, 1.7, 1},    {2.5, 1, 0.301, 2},  {6.0, 2, 0.301, 1},    {13.58, 0, 0.301, 1},
        {20.0, 1, 0.301, 1}, {40.0, 0, 0.301, -3}, {1e4, 2, 0.301, 1},  {3e6, 0, 0.301, 1},    {-0.7, 2, 0.301, 1},
        {0.5, 7, 0.301, 1},  {1e17, 1, 0.301, 1},  {0.45, 1, 0.301, 1}, {0.1345, 0, 0.301, 1}, {1.0, 0, 0.301, 3},
        {8.0, 0, 0.301, 1},  {10.0, 1, 0.301, -1},
    };
    const PlotKind kinds[] = {PlotKind::Few, PlotKind::Signed, PlotKind::Sparse, PlotKind::Dense, PlotKind::Crowded};
    std::mt19937 rng(20261208);
    int trial = 0;
    for (const PassSetting &p : settings) {
        for (PlotKind kind : kinds) {
            ++trial;
            // Slow exact cells (huge scales) only on light plots.
            if (std::fabs(p.sigma) > 1e5 && (kind == PlotKind::Dense || kind == PlotKind::Crowded)) continue;
            Simul ref, fast;
            Configure(ref, p);
            Configure(fast, p);
            FillPlot(ref, kind, rng);
            // Every third trial under a map of CompactionC that varies from cell to cell.
            if (trial % 3 == 0) {
                ref.Plot.Soil.CompactionC.resize(CellCount);
                for (double &c : ref.Plot.Soil.CompactionC) c = rng() % 7 == 0 ? 0.0 : (rng() % 2000) / 1000.0;
            }
            fast.Plot = ref.Plot;
            ref.RandomSeed = fast.RandomSeed = rng();
            fast.SetDispersalThreads(1 + trial % 4);
            CompareOn(ref, fast, 2,
                      "trial " + std::to_string(trial) + " sigma " + std::to_string(p.sigma) + " sensitivity " +
                          std::to_string(p.sensitivity) + " threads " + std::to_string(1 + trial % 4));
            if (HasFailure()) return;
        }
    }
}

// With a habitat mask, on a torus and a bounded plot, on one to four threads: the same
// counts, lost individuals, generator state and faults; no individual stays off the
// habitat, and every one that was on the plot is still there, gone or lost.
TEST(FastDispersal, MatchesTheReferenceWithAHabitatMask) {
    const PassSetting settings[] = {{0.5, 0, 0.301, 1},  {2.5, 1, 0.301, 1}, {6.0, 2, 0.301, 1},
                                    {20.0, 1, 0.301, 1}, {1.0, 0, 0.301, 3}, {0.5, 1000, 1e-300, 1}};
    const PlotKind kinds[] = {PlotKind::Few, PlotKind::Dense, PlotKind::Crowded};
    std::mt19937 rng(20261209);
    int trial = 0, faults = 0;
    for (const PassSetting &p : settings) {
        for (PlotKind kind : kinds) {
            for (bool bounded : {false, true}) {
                ++trial;
                Simul ref, fast;
                Configure(ref, p);
                FillPlot(ref, kind, rng);
                ref.Plot.Bounded = bounded;
                ref.Plot.Habitat = CellGrid<std::uint8_t>(GridSide, GridSide);
                for (int c = 0; c < CellCount; ++c) {
                    ref.Plot.Habitat.Data()[c] = rng() % 4 != 0;
                    if (!ref.Plot.Habitat.Data()[c]) ref.Plot.Density.Data()[c] = 0;
                }
                Configure(fast, p);
                fast.Plot = ref.Plot;
                ref.RandomSeed = fast.RandomSeed = rng();
                const int threads = 1 + trial % 4;
                fast.SetDispersalThreads(threads);
                const std::string what = "trial " + std::to_string(trial) + " threads " + std::to_string(threads);
                std::int64_t before = 0;
                for (int c = 0; c < CellCount; ++c) before += ref.Plot.Density.Data()[c];
                TPlot start;
                start = fast.Plot;
                const Outcome r = RunPass(ref, true);
                const Outcome f = RunPass(fast, false);
                ExpectSameOutcome(r, f, start, what);
                EXPECT_EQ(ref.Lost, fast.Lost) << what;
                EXPECT_EQ(ref.Emigrants, fast.Emigrants) << what;
                if (HasFailure()) return;
                if (r.fault) {
                    ++faults;
                    continue;
                }
                std::int64_t after = 0;
                for (int c = 0; c < CellCount; ++c) {
                    after += fast.Plot.Density.Data()[c];
                    if (!fast.Plot.Habitat.Data()[c]) ASSERT_EQ(fast.Plot.Density.Data()[c], 0) << what;
                }
                EXPECT_EQ(before, after + fast.Emigrants + fast.Lost) << what;
                EXPECT_GT(fast.Lost, 0) << what;
            }
        }
    }
    EXPECT_GE(faults, 1) << "the setting meant to fault";
}

// Faults: the fast pass raises the reference's error, leaves the plot as it was and
// leaves the generator where the reference leaves it.
TEST(FastDispersal, FaultsLikeTheReference) {
    struct Case {
        const char *name;
        PassSetting setting;
        std::int32_t uncrowded;  // count of cells with room (Compacted 100)
        std::int32_t crowded;    // count of cells without room (Compacted 0), every 97th cell
    } cases[] = {
        // the scale is divided by the cell size
        {"cell size 0", {0.5, 0, 0.301, 0}, 5, 0},
        // exp overflows in the scale of the first cell without room
        {"scale overflow", {0.5, 1000, 0.301, 1}, 50, 20},
        // offsets beyond 64 bits in crowded cells only, after many huge exact offsets
        {"offset beyond range", {1e10, 30, 0.301, 1}, 40, 3},
        // offsets overflow to infinity
        {"offset overflow", {1e308, 0, 0.301, 1}, 3, 0},
        {"offset invalid", {5e18, 0, 0.301, 1}, 5, 0},
        // faults in cells whose draws are split between threads
        {"split offset fault", {1e10, 30, 0.301, 1}, 2000, 2000},
    };
    for (const Case &c : cases) {
        for (int threads : {1, 2, 3}) {
            Simul ref, fast;
            Configure(ref, c.setting);
            Configure(fast, c.setting);
            for (int i = 0; i < GridSide; ++i) {
                for (int j = 0; j < GridSide; ++j) {
                    const bool crowded = (i * GridSide + j) % 97 == 96;
                    ref.Plot.Env[i][j] = {crowded ? 0.0 : 100.0, crowded ? 100.0 : 0.0};
                    ref.Plot.Density[i][j] = crowded ? c.crowded : c.uncrowded;
                }
            }
            fast.Plot = ref.Plot;
            ref.RandomSeed = fast.RandomSeed = 99;
            fast.SetDispersalThreads(threads);
            TPlot before;
            before = fast.Plot;
            const Outcome r = RunPass(ref, true);
            const Outcome f = RunPass(fast, false);
            ASSERT_TRUE(r.fault.has_value()) << c.name;
            ExpectSameOutcome(r, f, before, std::string(c.name) + ", threads " + std::to_string(threads));
        }
    }
}

// An empty cell's capacity, like that of a cell whose crowding factor is 1, is only a
// possible fault, which the fast pass skips where it cannot come (below 2^61
// divisors): shares around the edges of that range, and beyond it, fault or not as in
// the reference, whatever the compaction constant.
TEST(FastDispersal, AnEmptyCellFaultsAtTheEdgesOfItsCapacityAsTheReferenceDoes) {
    const double constants[] = {0.301, 0.0, -0.00001, -0.5, 1e300};
    for (const double c : constants) {
        const double edge = static_cast<double>(0x1p61L * (c + 0.00001L));
        const double shares[] = {0.0,
                                 -0.0,
                                 -1e-300,
                                 std::nextafter(edge, -INFINITY),
                                 edge,
                                 std::nextafter(edge, INFINITY),
                                 static_cast<double>(0x1p63L * (c + 0.00001L)),
                                 1e300,
                                 INFINITY,
                                 -INFINITY,
                                 NAN};
        for (const double share : shares) {
            for (const std::int32_t sensitivity : {0, 2}) {
                for (const std::int32_t count : {0, -40}) {
                    Simul ref, fast;
                    Configure(ref, {0.5, sensitivity, c, 1});
                    Configure(fast, {0.5, sensitivity, c, 1});
                    for (int i = 0; i < GridSide; ++i)
                        for (int j = 0; j < GridSide; ++j) {
                            ref.Plot.Env[i][j] = {10.0, 90.0};
                            ref.Plot.Density[i][j] = 20;
                        }
                    ref.Plot.Env[31][7].Compacted = share;
                    ref.Plot.Density[31][7] = count;
                    fast.Plot = ref.Plot;
                    ref.RandomSeed = fast.RandomSeed = 7;
                    const TPlot before = fast.Plot;
                    const std::string what = "C " + std::to_string(c) + ", share " + std::to_string(share) +
                                             ", sensitivity " + std::to_string(sensitivity) + ", count " +
                                             std::to_string(count);
                    ExpectSameOutcome(RunPass(ref, true), RunPass(fast, false), before, what);
                    if (HasFailure()) return;
                }
            }
        }
    }
}

TEST(FastDispersal, YieldsOncePerCell) {
    for (int threads : {1, 2, 4}) {
        Simul s;
        Configure(s, {0.5, 0, 0.301, 1});
        std::mt19937 rng(threads);
        FillPlot(s, PlotKind::Dense, rng);
        int yields = 0;
        s.ProcessMessages = [&yields] { ++yields; };
        s.SetDispersalThreads(threads);
        s.Disperse();
        EXPECT_EQ(yields, CellCount) << threads << " threads";
        yields = 0;
        Simul empty;
        empty.ProcessMessages = [&yields] { ++yields; };
        empty.SetDispersalThreads(threads);
        empty.Disperse();
        EXPECT_EQ(yields, CellCount) << threads << " threads, empty plot";
        EXPECT_EQ(empty.RandomSeed, 0u);
    }
}

// A pass started from the event processing of a pass under way runs the reference
// pass on its own grids.
TEST(FastDispersal, NestedPassFromTheYieldsIsSafe) {
    Simul s, twin;
    for (Simul *x : {&s, &twin}) {
        Configure(*x, {0.5, 0, 0.301, 1});
        std::mt19937 rng(3);
        FillPlot(*x, PlotKind::Few, rng);
        x->SetDispersalThreads(2);
    }
    int nested = 0;
    s.ProcessMessages = [&] {
        if (nested++ == 10) s.Disperse();
    };
    s.Disperse();
    EXPECT_GT(nested, 10);
    std::int64_t total = 0, twinTotal = 0;
    for (int i = 0; i < GridSide; ++i)
        for (int j = 0; j < GridSide; ++j) total += s.Plot.Density[i][j], twinTotal += twin.Plot.Density[i][j];
    EXPECT_EQ(total, twinTotal);
}

TEST(FastDispersal, AllocatesNothingPerStep) {
    // Two threads without event processing share reproduction and survival too.
    for (int threads : {1, 2, -2}) {
        Simul s;
        s.Settings.Species.DispersalSensitivity = threads == -2 ? "0" : "2";
        s.Settings.Species.DispersalFirst = threads == 2;
        if (threads > 0) s.ProcessMessages = [] {};
        threads = std::abs(threads);
        s.SetDispersalThreads(threads);
        s.SetUpRun(42);
        // Enough individuals for the pass to share its chunks between the threads.
        for (auto &&row : s.Plot.Density)
            for (auto &n : row) n = 300;
        const long setUp = allocations.load();
        s.TimeStep();  // warm-up: the pass makes its threads and grids once
        const long before = allocations.load();
        EXPECT_GT(before - setUp, 0) << "the counter sees the pass's own set-up";
        for (int step = 0; step < 5; ++step) s.TimeStep();
        EXPECT_EQ(allocations.load() - before, 0) << threads << " threads";
    }
}

}  // namespace
}  // namespace glebix
