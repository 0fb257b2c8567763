// The fast reproduction, survival and cell preparation against their plain forms:
// same counts, same generator state, same faults at the same cell, on random plots and
// settings; and the pieces they are built from against what they replace.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "Conversions.h"
#include "Crowding.h"
#include "DispersalCell.h"
#include "Errors.h"
#include "Events.h"
#include "FloatChecks.h"
#include "OffsetTable.h"
#include "Settings.h"
#include "Simul.h"
#include "TrialCount.h"

namespace glebix {
namespace {

// ---- Pieces -----------------------------------------------------------------

std::optional<std::int64_t> Call(std::int64_t (*f)(long double), long double x) {
    try {
        return f(x);
    } catch (const GlebixError &) { return std::nullopt; }
}

std::optional<std::int64_t> ByLibrary(long double x, bool nearest) {
    const long double r = nearest ? std::nearbyint(x) : std::trunc(x);
    if (!(r >= -0x1p63L && r < 0x1p63L)) return std::nullopt;
    return static_cast<std::int64_t>(r);
}

TEST(RealToInteger, DirectRoundingAgreesWithTheLibrary) {
    std::vector<long double> values = {0.0L,
                                       -0.0L,
                                       0x1p62L,
                                       -0x1p62L,
                                       0x1p63L,
                                       -0x1p63L,
                                       0x1p64L,
                                       std::numeric_limits<long double>::infinity(),
                                       -std::numeric_limits<long double>::infinity(),
                                       std::numeric_limits<long double>::quiet_NaN()};
    for (long double k = -40; k <= 40; ++k) {
        for (long double x : {k + 0.5L, k - 0.5L, k}) {
            values.push_back(x);
            values.push_back(std::nextafter(x, 1e9L));
            values.push_back(std::nextafter(x, -1e9L));
        }
    }
    for (long double edge : {0x1p61L, -0x1p61L, 0x1p62L, -0x1p62L, 0x1p63L, -0x1p63L}) {
        long double x = edge;
        for (int k = 0; k < 4; ++k) values.push_back(x = std::nextafter(x, 0.0L));
        values.push_back(edge - 0.5L);
        values.push_back(edge + 0.5L);
    }
    std::mt19937_64 rng(5);
    for (int k = 0; k < 20000; ++k) {
        const long double mantissa = static_cast<long double>(rng()) / 0x1p64L;
        values.push_back((rng() & 1 ? -1 : 1) * std::ldexp(mantissa, static_cast<int>(rng() % 140) - 70));
    }
    for (long double x : values) {
        EXPECT_EQ(Call(Nearest, x), ByLibrary(x, true)) << static_cast<double>(x);
        EXPECT_EQ(Call(Truncate, x), ByLibrary(x, false)) << static_cast<double>(x);
    }
}

std::optional<std::int64_t> LongDoubleCapacity(double compacted, long double divisor) {
    try {
        return Truncate(Divide(compacted, divisor));
    } catch (const GlebixError &) { return std::nullopt; }
}

std::optional<std::int64_t> FastCapacity(double compacted, long double divisor) {
    try {
        return Capacity(compacted, divisor);
    } catch (const GlebixError &) { return std::nullopt; }
}

TEST(Crowding, CapacityIsTheLongDoubleQuotientTruncated) {
    std::mt19937_64 rng(31);
    for (double c : {0.301, 0.0, -0.0001, -0.00001, 1e-300, 3.0, 0.1, 1e300}) {
        for (long double guard : {0.0001L, 0.00001L}) {
            const long double divisor = c + guard;
            for (int k = 0; k < 4000; ++k) {
                double compacted =
                    std::ldexp(static_cast<double>(rng() % 1000000) / 1e6, static_cast<int>(rng() % 90) - 20);
                if (k % 4 == 1) {
                    // Quotients at and next to whole numbers.
                    compacted = static_cast<double>(static_cast<long double>(rng() % 5000) * divisor);
                    for (int step = static_cast<int>(rng() % 5); step > 0; --step)
                        compacted = std::nextafter(compacted, rng() % 2 ? INFINITY : -INFINITY);
                }
                if (k % 17 == 2) compacted = -compacted;
                if (k % 97 == 3) compacted = k % 2 ? INFINITY : NAN;
                if (k % 89 == 4) compacted = 0;
                ASSERT_EQ(FastCapacity(compacted, divisor), LongDoubleCapacity(compacted, divisor))
                    << compacted << " / " << static_cast<double>(divisor);
            }
        }
    }
}

TEST(TrialCount, EveryBuildCountsLikeTheTrialsOneByOne) {
    const TrialCountBuilds builds = AvailableTrialCountBuilds();
    std::mt19937 rng(11);
    std::vector<std::uint32_t> states = {0u, 1u, 0xffffffffu, 0x80000000u};
    for (int k = 0; k < 60; ++k) states.push_back(rng());
    for (std::uint32_t state : states) {
        for (std::int32_t count = 1; count <= MaxDrawnTrials; ++count) {
            std::uint32_t thresholds[] = {0u, 0xfffffffeu, static_cast<std::uint32_t>(rng()),
                                          static_cast<std::uint32_t>(rng() >> 8), 0};
            thresholds[4] = AdvanceRandom(state, 1 + rng() % count);  // equal to one trial's state
            for (std::uint32_t t : thresholds) {
                std::int32_t expected = 0;
                for (std::int32_t k = 1; k <= count; ++k) expected += AdvanceRandom(state, k) <= t;
                ASSERT_EQ(builds.Plain(state, count, t), expected) << state << " " << count << " " << t;
                if (builds.Avx2) { ASSERT_EQ(builds.Avx2(state, count, t), expected) << "AVX2 " << count; }
                if (builds.Avx512) { ASSERT_EQ(builds.Avx512(state, count, t), expected) << "AVX-512 " << count; }
            }
            ASSERT_EQ(StateAfterTrials(state, count), AdvanceRandom(state, count));
        }
    }
}

TEST(TrialCount, SuccessesAndStateLikeDrawCount) {
    const double probabilities[] = {0.0,
                                    -0.0,
                                    1.0,
                                    0.6,
                                    -0.1,
                                    1.5,
                                    1e-300,
                                    4.9e-324,
                                    1 - 1e-16,
                                    0x1p-32,
                                    std::numeric_limits<double>::max(),
                                    std::numeric_limits<double>::quiet_NaN()};
    std::mt19937 rng(3);
    Simul plain;
    for (double p : probabilities) {
        for (int k = 0; k < 40; ++k) {
            const std::int32_t count = 1 + static_cast<std::int32_t>(rng() % MaxDrawnTrials);
            plain.RandomSeed = k == 0 ? 0xffffffffu : rng();
            const std::uint32_t start = plain.RandomSeed;
            const std::int32_t expected = plain.DrawCount(count, p);
            ASSERT_EQ(CountSuccesses(start, count, p), expected) << p << " " << count;
            ASSERT_EQ(StateAfterTrials(start, count), plain.RandomSeed);
        }
    }
}

TEST(OffsetTable, SureEntriesAreTheExactOffsets) {
    std::mt19937 rng(17);
    OffsetTable table;
    for (double scale : {0.5, -0.5, 0.1345, 0.25, 1.0, 1.5, -0.7}) {
        const int reach = static_cast<int>(std::fabs(scale) * 3.72 + 0.5) + 1;
        ASSERT_LE(reach, OffsetTable::MaxReach);
        table.Build(scale, reach);
        ASSERT_TRUE(table.IsFor(scale));
        const int side = 2 * reach + 1;
        const int paddedColumns = 50 + 2 * OffsetTable::MaxReach;
        table.UsePaddedColumns(paddedColumns);
        long unsure = 0, total = 0;
        for (int k = 0; k < 200000; ++k, ++total) {
            // Rectangle corners and edges as often as their insides.
            std::uint32_t s1 = rng(), s2 = rng();
            constexpr std::uint32_t inside = (1u << (32 - OffsetTable::Bits)) - 1;
            if (k % 4 == 1) s1 |= inside;
            if (k % 4 == 2) s2 &= ~inside;
            const std::uint8_t entry = table.At(s1, s2);
            if (entry == OffsetTable::Unsure) {
                ++unsure;
                continue;
            }
            std::int64_t di = 0, dj = 0;
            ASSERT_FALSE(ExactOffsets(s1, s2, scale, 1, di, dj));
            ASSERT_EQ(entry, (di + reach) * side + dj + reach) << "scale " << scale << " states " << s1 << " " << s2;
            ASSERT_EQ(table.Shift(entry), di * paddedColumns + dj);
        }
        EXPECT_LT(unsure * 10, total) << "scale " << scale;
    }
}

// ---- Processes against their plain forms --------------------------------------

struct Trial {
    double survival, fecundity, alpha, compactionC;
    std::int32_t shape;
    double optimum, tolerance;
    std::int32_t sensitivity;
    double sigma;
    bool survivalSensitive, fecunditySensitive;
};

enum class Counts { Small, Mixed, Large, Extreme };

void Prepare(Simul &s, const Trial &t, Counts counts, std::uint32_t plotSeed) {
    s.Species = RunSpecies{t.survival,    t.fecundity, t.shape,       t.optimum, t.tolerance,
                           t.sensitivity, t.sigma,     t.compactionC, t.alpha};
    s.Settings.Species.SurvivalEnvSensitive = t.survivalSensitive;
    s.Settings.Species.FecundityEnvSensitive = t.fecunditySensitive;
    s.Plot.CellSize = 1;
    s.Plot.NRows = s.Plot.NCols = 50;
    std::mt19937 rng(plotSeed);
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            const double compacted = rng() % 6 == 0 ? 0.0 : (rng() % 100000) / 1000.0;
            s.Plot.Env[i][j] = {compacted, 100 - compacted};
            std::int32_t n = static_cast<std::int32_t>(rng() % 120);
            switch (counts) {
            case Counts::Small:
                break;
            case Counts::Mixed:
                n = rng() % 3 == 0 ? static_cast<std::int32_t>(rng() % 3000) - 50 : n;
                break;
            case Counts::Large:
                n = 90 + static_cast<std::int32_t>(rng() % 60 == 0 ? rng() % 30000 : rng() % 200);
                break;
            case Counts::Extreme:
                if (rng() % 25 == 0) {
                    n = std::numeric_limits<std::int32_t>::max() - static_cast<std::int32_t>(rng() % 5);
                } else if (rng() % 25 == 0) {
                    n = std::numeric_limits<std::int32_t>::min() + static_cast<std::int32_t>(rng() % 5);
                } else {
                    n -= 20;
                }
                break;
            }
            s.Plot.Density[i][j] = n;
        }
    }
    s.RandomSeed = rng();
}

struct Outcome {
    std::string fault = "-";
    std::uint32_t seed = 0;
    int yields = -1;  // not counted: no event processing, so the threads share the cells
    std::int32_t density[GridSide][GridSide];
};

Outcome RunProcess(Simul &s, void (Simul::*process)(), bool countYields = true) {
    Outcome o;
    if (countYields) {
        o.yields = 0;
        s.ProcessMessages = [&o] { ++o.yields; };
    }
    try {
        (s.*process)();
    } catch (const GlebixError &e) { o.fault = e.what(); }
    s.ProcessMessages = nullptr;
    o.seed = s.RandomSeed;
    std::memcpy(o.density, s.Plot.Density.Data(), sizeof o.density);
    return o;
}

void ExpectSame(const Outcome &plain, const Outcome &fast, const std::string &what) {
    EXPECT_EQ(plain.fault, fast.fault) << what;
    EXPECT_EQ(plain.seed, fast.seed) << what;
    if (fast.yields >= 0) { EXPECT_EQ(plain.yields, fast.yields) << what << " (the cell of the fault)"; }
    EXPECT_EQ(std::memcmp(plain.density, fast.density, sizeof plain.density), 0) << what;
}

const Trial Trials[] = {
    // survival, fecundity, alpha, C, shape, optimum, tolerance, sensitivity, sigma, flags
    {0.4, 2, 1, 0.301, ResponseLogistic, 0, 0, 0, 0.5, true, false},
    {0.9, 20, 1, 0.301, ResponseLogistic, 0, 0, 0, 0.5, true, true},
    {0.4, 2.5, 2, 0.05, ResponseNormal, 30, 8, 2, 0.5, true, true},
    {-0.5, 0.75, 0, 0.301, ResponseBell, 30, 8, 0, 0.5, true, false},
    {1.7, 2, -1, 0.0, ResponseLogistic, 1, 0.1, 1, 0.8, true, true},
    {0.4, -1.5, 1, 0.301, ResponseBell, 20, 5, -3, 0.5, false, true},
    {0.0, 1e300, 3, 0.301, ResponseLogistic, 0, 0, 0, 0.5, true, false},    // births beyond 64 bits
    {0.4, 2, 5000, 0.301, ResponseLogistic, 0, 0, 0, 0.5, true, false},     // crowding overflows exp
    {0.4, 2, 1, -0.0001, ResponseLogistic, 0, 0, 0, 0.5, true, false},      // guard cancels C
    {0.4, 2, 1, 0.301, ResponseNormal, 30, 0, 0, 0.5, true, false},         // tolerance 0 unused
    {0.4, 2, 1, 0.301, ResponseNormal, 30, 1e-320, 0, 0.5, true, false},    // tiny tolerance unused
    {0.4, 2, 1, 0.301, ResponseLogistic, -20000, 0, 0, 0.5, true, false},   // logistic overflow unused
    {0.4, 2, 1, 0.301, ResponseLogistic, 0, 500, 0, 0.5, true, false},      // overflow in some cells
    {0.4, 2, 1, 0.301, 7, 1, 1, 0, 0.5, true, true},                        // shape beyond the three
    {0.4, 2, 1, 0.301, ResponseBell, 30, 1e-160, 0, 0.5, true, false},      // below the sure tolerance
    {0.4, 2, 1, 1e-300, ResponseLogistic, 0, 0, 1000, 0.5, true, false},    // guard alone, crowding^1000
    {0.4, 2, 1, 0.301, ResponseLogistic, 0, 0, 1000, 1e-300, true, false},  // scale overflow
};

TEST(FastStep, ProcessesMatchTheirPlainFormsOnRandomPlotsAndSettings) {
    const Counts kinds[] = {Counts::Small, Counts::Mixed, Counts::Large, Counts::Extreme};
    const std::pair<const char *, std::pair<void (Simul::*)(), void (Simul::*)()>> processes[] = {
        {"reproduction", {&Simul::ReproduceReference, &Simul::Reproduce}},
        {"survival", {&Simul::ApplySurvivalReference, &Simul::ApplySurvival}},
        {"step", {&Simul::TimeStepReference, &Simul::TimeStep}},
    };
    std::uint32_t plotSeed = 1;
    int trialNumber = 0, faults = 0;
    for (const Trial &t : Trials) {
        ++trialNumber;
        for (Counts kind : kinds) {
            for (const auto &[name, forms] : processes) {
                // Whole steps on the small plots only: large ones spend the time in dispersal.
                if (forms.second == &Simul::TimeStep && (kind == Counts::Mixed || kind == Counts::Large)) continue;
                Simul plain, fast;
                Prepare(plain, t, kind, plotSeed);
                Prepare(fast, t, kind, plotSeed);
                // One thread; two for dispersal alone; two or three for every process.
                const int mode = static_cast<int>(plotSeed % 3);
                fast.SetDispersalThreads(mode == 0 ? 1 : 2 + static_cast<int>(plotSeed % 2));
                ++plotSeed;
                // Twice: the second survival finds its mortalities kept.
                for (int pass = 1; pass <= 2; ++pass) {
                    const std::string what = std::string(name) + ", trial " + std::to_string(trialNumber) +
                                             ", counts " + std::to_string(static_cast<int>(kind)) + ", mode " +
                                             std::to_string(mode) + ", pass " + std::to_string(pass);
                    const Outcome p = RunProcess(plain, forms.first);
                    const Outcome f = RunProcess(fast, forms.second, mode != 2);
                    ExpectSame(p, f, what);
                    if (HasFailure()) return;
                    if (p.fault == "-") continue;
                    ++faults;
                    break;
                }
            }
        }
    }
    EXPECT_GE(faults, 30) << "the trials meant to fault";
}

// Whole steps with a habitat mask, on one to three threads, torus and bounded: the
// plain and the fast forms agree, also on the lost individuals, and the cells off the
// habitat end every step empty with the soil they began with.
TEST(FastStep, StepsWithAHabitatMaskMatchTheirPlainForms) {
    std::uint32_t plotSeed = 500;
    int faults = 0;
    for (const Trial &t : Trials) {
        for (Counts kind : {Counts::Small, Counts::Extreme}) {
            Simul plain, fast;
            Prepare(plain, t, kind, plotSeed);
            Prepare(fast, t, kind, plotSeed);
            std::mt19937 rng(plotSeed);
            plain.Plot.Bounded = fast.Plot.Bounded = plotSeed % 2 == 0;
            plain.Plot.Habitat = CellGrid<std::uint8_t>(GridSide, GridSide);
            for (int c = 0; c < CellCount; ++c) {
                plain.Plot.Habitat.Data()[c] = rng() % 5 != 0;
                if (!plain.Plot.Habitat.Data()[c]) plain.Plot.Density.Data()[c] = 0;
            }
            fast.Plot.Habitat = plain.Plot.Habitat;
            fast.Plot.Density = plain.Plot.Density;
            const CellGrid<TCellEnv> soil = plain.Plot.Env;
            const int threads = 1 + static_cast<int>(plotSeed % 3);
            fast.SetDispersalThreads(threads);
            ++plotSeed;
            for (int step = 1; step <= 2; ++step) {
                const std::string what = "trial " + std::to_string(&t - Trials) + ", counts " +
                                         std::to_string(static_cast<int>(kind)) + ", threads " +
                                         std::to_string(threads) + ", step " + std::to_string(step);
                const Outcome p = RunProcess(plain, &Simul::TimeStepReference);
                const Outcome f = RunProcess(fast, &Simul::TimeStep, threads == 1);
                ExpectSame(p, f, what);
                EXPECT_EQ(plain.Lost, fast.Lost) << what;
                EXPECT_TRUE(plain.Plot.Env == fast.Plot.Env) << what;
                if (HasFailure()) return;
                if (p.fault != "-") {
                    ++faults;
                    break;
                }
                for (int c = 0; c < CellCount; ++c) {
                    if (fast.Plot.Habitat.Data()[c]) continue;
                    ASSERT_EQ(fast.Plot.Density.Data()[c], 0) << what;
                    ASSERT_TRUE(fast.Plot.Env.Data()[c] == soil.Data()[c]) << what;
                }
            }
        }
    }
    EXPECT_GE(faults, 10) << "the trials meant to fault";
}

TEST(FastStep, CellPreparationMatchesThePlainOne) {
    std::uint32_t plotSeed = 100;
    for (const Trial &t : Trials) {
        for (std::int32_t cellSize : {1, 0, 3}) {
            Simul s;
            Prepare(s, t, Counts::Extreme, plotSeed++);
            s.Plot.CellSize = cellSize;
            // Shares around the bounds of a capacity that fits, and beyond them.
            const double shares[] = {-0.0, -3, -1e30, 1e17, 6e17, 7e17, 1e18, 3e18, 1e30, INFINITY, NAN};
            for (int k = 0; k < 40; ++k) s.Plot.Env[k * 37 % GridSide][k * 11 % GridSide].Compacted = shares[k % 11];
            for (int c = 0; c < CellCount; ++c) {
                std::string plainFault = "-", fastFault = "-";
                DispersalCell plain, fast;
                try {
                    plain = PrepareDispersalCellReference(s.Plot, s.Species, c / GridSide, c % GridSide);
                } catch (const GlebixError &e) { plainFault = e.what(); }
                try {
                    fast = PrepareDispersalCell(s.Plot, s.Species, c / GridSide, c % GridSide);
                } catch (const GlebixError &e) { fastFault = e.what(); }
                ASSERT_EQ(plainFault, fastFault) << "cell " << c;
                ASSERT_EQ(plain.N, fast.N);
                ASSERT_EQ(std::memcmp(&plain.S, &fast.S, sizeof plain.S), 0) << "cell " << c;
                ASSERT_EQ(plain.CellSize, fast.CellSize);
            }
        }
    }
}

// With a schedule, the events' draws come first in both forms: whole steps still give
// the same counts, generator state and faults, whatever the threads.
TEST(FastStep, StepsWithEventsMatchThePlainStep) {
    auto schedule = std::make_shared<EventSchedule>();
    EventMask every3rd{"m", std::vector<std::uint8_t>(CellCount, 0)};
    for (int cell = 0; cell < CellCount; cell += 3) every3rd.Inside[static_cast<std::size_t>(cell)] = 1;
    schedule->Masks.push_back(every3rd);
    ScheduledEvent remove{1, 1, EventAction::RemoveFauna, "m", 0.3, {}, 0};
    ScheduledEvent compact{2, 2, EventAction::AddCompacted, "all", 40, {}, -1};
    ScheduledEvent order{3, 0, EventAction::Set, "DispersalFirst", 0, true, -1};
    schedule->Events = {remove, compact, order};
    std::uint32_t plotSeed = 500;
    for (const Trial &t : Trials) {
        for (Counts kind : {Counts::Small, Counts::Extreme}) {
            Simul plain, fast;
            Prepare(plain, t, kind, plotSeed);
            Prepare(fast, t, kind, plotSeed);
            plain.Events = fast.Events = schedule;
            fast.SetDispersalThreads(1 + static_cast<int>(plotSeed % 3));
            ++plotSeed;
            for (int step = 1; step <= 3; ++step) {
                const Outcome p = RunProcess(plain, &Simul::TimeStepReference);
                const Outcome f = RunProcess(fast, &Simul::TimeStep, plotSeed % 2 == 0);
                ExpectSame(p, f, "step " + std::to_string(step) + ", seed " + std::to_string(plotSeed));
                if (HasFailure()) return;
                if (p.fault != "-") break;
            }
        }
    }
}

// A change of the species between runs forgets the kept mortalities.
TEST(FastStep, KeptMortalitiesFollowTheSpecies) {
    for (double alpha : {1.0, 2.0, 0.5}) {
        Simul plain, fast;
        Trial t = Trials[0];
        t.alpha = alpha;
        Prepare(plain, t, Counts::Large, 9);
        Prepare(fast, t, Counts::Large, 9);
        if (alpha != 1.0) {
            // The fast one has already seen the same plot with the first exponent.
            Prepare(fast, Trials[0], Counts::Large, 9);
            fast.ApplySurvival();
            Prepare(fast, t, Counts::Large, 9);
        }
        ExpectSame(RunProcess(plain, &Simul::ApplySurvivalReference), RunProcess(fast, &Simul::ApplySurvival),
                   "alpha " + std::to_string(alpha));
    }
}

TEST(EnvResponse, NoFaultWithinTheSureLimit) {
    std::mt19937_64 rng(23);
    const double specials[] = {0, 1e-150, -1e-150, 1e-151, 1e300, -1e300, 5000, 10000, 11000, 1e-320, 1.5e-5};
    Simul s;
    int sure = 0;
    for (std::int32_t shape : {ResponseNormal, ResponseBell, ResponseLogistic, 9}) {
        s.Species.ResponseShape = shape;
        for (int k = 0; k < 20000; ++k) {
            auto value = [&] {
                return rng() % 3 == 0 ? specials[rng() % std::size(specials)] * (rng() % 2 ? 1 : -1)
                                      : std::ldexp(static_cast<double>(rng() % 1000000) / 1e6, (int)(rng() % 80) - 40);
            };
            const double m = value(), w = value();
            const double limit = s.EnvResponseSureLimit(m, w);
            if (!(limit >= 0)) continue;
            ++sure;
            for (double x : {limit, -limit, value(), std::nextafter(limit, 0.0)}) {
                if (!(std::fabs(x) <= limit)) continue;
                EXPECT_NO_THROW(s.EnvResponse(m, w, x)) << shape << " " << m << " " << w << " " << x;
            }
        }
    }
    EXPECT_GT(sure, 20000);
    // Where the limit says nothing, a fault remains possible: the logistic overflows.
    s.Species.ResponseShape = ResponseLogistic;
    EXPECT_LT(s.EnvResponseSureLimit(-20000, 0), 0);
    EXPECT_THROW(s.EnvResponse(-20000, 0, 1), GlebixError);
}

}  // namespace
}  // namespace glebix
