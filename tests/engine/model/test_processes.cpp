#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "DispersalCell.h"
#include "Errors.h"
#include "Simul.h"
#include "TestSupport.h"

namespace glebix {
namespace {

using testing::MakeSimul;
using testing::SeedAfter;

std::int64_t TotalCount(const Simul &s) {
    std::int64_t total = 0;
    for (const auto &row : s.Plot.Density)
        for (auto n : row) total += n;
    return total;
}

void ExpectFault(const std::function<void()> &f, const char *message) {
    try {
        f();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const GlebixError &e) { EXPECT_STREQ(e.what(), message); }
}

TEST(RandomUniform, FollowsTheLinearCongruentialGenerator) {
    Simul s;
    EXPECT_EQ(s.RandomSeed, 0u);
    EXPECT_EQ(s.RandomUniform(), std::ldexp(1.0, -32));
    EXPECT_EQ(s.RandomUniform(), std::ldexp(134775814.0, -32));
    EXPECT_EQ(s.RandomUniform(), std::ldexp(3698175007.0, -32));
}

TEST(DrawCount, DrawsOncePerTrialUpTo100AndNeverBeyond) {
    auto s = MakeSimul();
    s->RandomSeed = 42;
    EXPECT_EQ(s->DrawCount(100, 1.0), 100);
    EXPECT_EQ(s->RandomSeed, SeedAfter(42, 100));
    const std::uint32_t before = s->RandomSeed;
    EXPECT_EQ(s->DrawCount(101, 0.5), 50);
    EXPECT_EQ(s->DrawCount(103, 0.5), 52);
    EXPECT_EQ(s->DrawCount(200, 0.6), 120);
    EXPECT_EQ(s->DrawCount(0, 0.5), 0);
    EXPECT_EQ(s->DrawCount(-3, 0.5), 0);
    EXPECT_EQ(s->RandomSeed, before);
    EXPECT_EQ(s->DrawCount(50, -0.1), 0);
    // p = 0 succeeds only on a draw of exactly 0, which state 0xFFFFFFFF -> 0 gives.
    s->RandomSeed = 0u - 1u;  // any state x with x * a + 1 == 0 would do; check it
    s->RandomSeed = 0;
    for (std::uint32_t x = 0;; ++x)
        if (x * 134775813u + 1u == 0u) {
            s->RandomSeed = x;
            break;
        }
    EXPECT_EQ(s->DrawCount(1, 0.0), 1);
}

TEST(Reproduce, AddsTheWholePartAndOneMoreWithTheFractionsProbability) {
    auto s = MakeSimul();
    s->Settings.Species.Fecundity = "2.5";
    s->TakeSpeciesParameters();
    s->Plot.Density[0][0] = 3;     // x = 7.5: 7 or 8 newborns
    s->Plot.Density[0][1] = 9999;  // capped at 10000
    s->Plot.Density[0][2] = -4;    // negative expectation: no newborn
    s->RandomSeed = 7;
    const double firstDraw = SeedAfter(7, 1) * std::ldexp(1.0, -32);
    s->Reproduce();
    EXPECT_EQ(s->Plot.Density[0][0], firstDraw <= 0.5 ? 11 : 10);
    EXPECT_EQ(s->Plot.Density[0][1], 10000);
    EXPECT_EQ(s->Plot.Density[0][2], -4 - 10);
    EXPECT_EQ(s->RandomSeed, SeedAfter(7, 2500));  // one draw per cell, empty ones too

    // A very negative expectation stays at the lowest count instead of wrapping around.
    s->Plot.Density[0][3] = std::numeric_limits<std::int32_t>::min();
    s->Reproduce();
    EXPECT_EQ(s->Plot.Density[0][3], std::numeric_limits<std::int32_t>::min());
}

TEST(Reproduce, BirthsFollowTheEnvironmentResponseWhenAsked) {
    auto s = MakeSimul();
    s->Settings.Species.FecundityEnvSensitive = true;  // shape 2 with 0, 0: R = 0.5
    s->Plot.Density[3][3] = 4;
    s->Reproduce();
    EXPECT_EQ(s->Plot.Density[3][3], 8);
}

TEST(Reproduce, AFractionIsBornWithItsProbability) {
    auto s = MakeSimul();
    s->Settings.Species.Fecundity = "0.75";
    s->TakeSpeciesParameters();
    int born = 0;
    for (int round = 0; round < 4; ++round) {
        for (auto &&row : s->Plot.Density)
            for (auto &n : row) n = 1;
        s->Reproduce();
        for (const auto &row : s->Plot.Density)
            for (auto n : row) born += n - 1;
    }
    // 10000 trials of probability 0.75: mean 7500, standard deviation about 43.
    EXPECT_NEAR(born, 7500, 200);
}

TEST(EnvResponse, ShapesAndTheirRefusals) {
    auto s = MakeSimul();
    EXPECT_EQ(s->EnvResponse(0, 0, 37.2), 0.5);
    s->Species.ResponseShape = 1;
    EXPECT_EQ(s->EnvResponse(30, 5, 30), 1.0);
    EXPECT_NEAR(s->EnvResponse(30, 5, 35), std::exp(-0.5), 1e-15);
    s->Species.ResponseShape = 0;
    EXPECT_NEAR(s->EnvResponse(30, 5, 30), 1 / std::sqrt(6.28318 * 25), 1e-15);
    s->Species.ResponseShape = 2;
    ExpectFault([&] { s->EnvResponse(-20000, 0, 0); }, MsgOverflow.French());

    s->Settings.Species.ResponseShape = 3;
    EXPECT_THROW(s->TakeSpeciesParameters(), GlebixError);
    s->Settings.Species.ResponseShape = 1;  // a bell needs a tolerance
    EXPECT_THROW(s->TakeSpeciesParameters(), GlebixError);
    s->Settings.Species.ResponseTolerance = 4;
    EXPECT_NO_THROW(s->TakeSpeciesParameters());
}

struct SurvivalCase {
    std::int32_t n;
    const char *alpha;
    bool sensitive;
    std::int32_t expected;
};

TEST(ApplySurvival, CrowdingRaisesMortalityAboveTheCapacity) {
    // Compacted 50 with C 0.301: capacity 166. Above 100 exposed the deaths are the
    // rounded expectation, so these cells draw nothing.
    const SurvivalCase cases[] = {
        {200, "1", true, 80},       {1000, "1", true, 165}, {1000, "2", true, 303}, {12000, "1", false, 6000},
        {30000, "1", false, 10000}, {150, "1", false, 60},  {167, "0", true, 0},  // alpha 0 makes every crowded
                                                                                  // individual die
    };
    for (const auto &c : cases) {
        auto s = MakeSimul(50);
        s->Settings.Species.MortalityAlpha = c.alpha;
        s->Settings.Species.SurvivalEnvSensitive = c.sensitive;
        s->TakeSpeciesParameters();
        s->Plot.Density[10][10] = c.n;
        s->RandomSeed = 99;
        s->ApplySurvival();
        EXPECT_EQ(s->Plot.Density[10][10], c.expected) << c.n << " alpha " << c.alpha;
        EXPECT_EQ(s->RandomSeed, 99u);
    }
}

TEST(ApplySurvival, SmallCountsDrawOncePerIndividualAndEmptyCellsLoseNothing) {
    auto s = MakeSimul(0);  // capacity 0: every exposed individual dies
    s->Plot.Density[0][0] = 40;
    s->Plot.Density[0][1] = 100;
    s->RandomSeed = 5;
    s->ApplySurvival();
    EXPECT_EQ(s->Plot.Density[0][0], 0);
    EXPECT_EQ(s->Plot.Density[0][1], 0);
    EXPECT_EQ(s->RandomSeed, SeedAfter(5, 140));
    EXPECT_EQ(TotalCount(*s), 0);
}

TEST(ApplySurvival, AGuardThatCancelsTheDivisorIsAFault) {
    auto s = MakeSimul(50);
    s->Species.CompactionC = -0.0001L;  // as a double it does not cancel the guard exactly
    s->Plot.Density[0][0] = 5;
    EXPECT_THROW(s->ApplySurvival(), GlebixError);
}

TEST(Disperse, ConsumesTwoDrawsPerIndividualAndKeepsTheTotal) {
    auto s = MakeSimul(33);
    s->Plot.Density[0][0] = 500;
    s->Plot.Density[49][49] = 20000;  // above the cap: kept after the pass
    s->Plot.Density[20][20] = -7;     // a negative count becomes its arrivals only
    s->RandomSeed = 1;
    s->Disperse();
    EXPECT_EQ(s->RandomSeed, SeedAfter(1, 2 * 20500));
    EXPECT_EQ(TotalCount(*s), 20500);
    for (const auto &row : s->Plot.Density)
        for (auto n : row) EXPECT_GE(n, 0);
    // With the default scale every offset lies within +-2 of the source.
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j) {
            const bool nearSource = (std::min(i, 50 - i) <= 2 || std::min(49 - i, i + 1) <= 2) &&
                                    (std::min(j, 50 - j) <= 2 || std::min(49 - j, j + 1) <= 2);
            if (!nearSource) { EXPECT_EQ(s->Plot.Density[i][j], 0) << i << ' ' << j; }
        }
}

TEST(Disperse, ZeroSigmaMovesNobodyButStillDraws) {
    auto s = MakeSimul(33);
    s->Settings.Species.DispersalSigma = "0";
    s->TakeSpeciesParameters();
    s->Plot.Density[5][5] = 77;
    s->Disperse();
    EXPECT_EQ(s->Plot.Density[5][5], 77);
    EXPECT_EQ(s->RandomSeed, SeedAfter(0, 154));

    auto empty = MakeSimul(33);
    empty->Disperse();
    EXPECT_EQ(empty->RandomSeed, 0u);
    EXPECT_EQ(TotalCount(*empty), 0);
}

TEST(Disperse, ScaleGrowsWithCrowding) {
    auto s = MakeSimul(50);  // capacity 166 with the dispersal guard
    s->Plot.Density[0][0] = 200;
    const double expected[] = {0.5, 0.5875, 0.6903};
    for (int sensitivity = 0; sensitivity <= 2; ++sensitivity) {
        s->Species.DispersalSensitivity = sensitivity;
        EXPECT_NEAR(PrepareDispersalCell(s->Plot, s->Species, 0, 0).S, expected[sensitivity], 5e-5);
    }
}

TEST(Disperse, OffsetsWrapOntoTheTorus) {
    EXPECT_EQ(WrapIndex(49, 1), 0);   // row 50 + 1 -> row 1
    EXPECT_EQ(WrapIndex(0, -1), 49);  // column 1 - 1 -> column 50
    EXPECT_EQ(WrapIndex(7, 50), 7);
    EXPECT_EQ(WrapIndex(7, -50), 7);
    EXPECT_EQ(WrapIndex(3, 1234), (3 + 1234) % 50);
    EXPECT_EQ(WrapIndex(3, -1234), ((3 - 1234) % 50 + 50) % 50);
    EXPECT_EQ(DispersalOffset(0.5), 0);
    EXPECT_EQ(DispersalOffset(-0.5), 0);
    EXPECT_EQ(DispersalOffset(1.5), 2);
    EXPECT_EQ(DispersalOffset(-1.5), -2);
}

TEST(Disperse, ACapacityThatDoesNotFitFaultsEvenInAnEmptyCell) {
    auto s = MakeSimul(50);
    s->Plot.Env[30][30].Compacted = 1e300;
    s->Plot.Density[0][0] = 10;
    ExpectFault([&] { s->Disperse(); }, MsgInvalidOperation.French());
    EXPECT_EQ(s->Plot.Density[0][0], 10);
}

TEST(Disperse, HugeScalesStayOnTheGridOrFault) {
    auto s = MakeSimul(0);
    s->Settings.Species.DispersalSigma = "1e6";
    s->TakeSpeciesParameters();
    s->Plot.Density[0][0] = 1000;
    s->Disperse();
    EXPECT_EQ(TotalCount(*s), 1000);

    auto f = MakeSimul(0);
    f->Species.DispersalSensitivity = 50000;
    f->Plot.Density[0][0] = 3;
    const auto before = f->Plot;
    ExpectFault([&] { f->Disperse(); }, MsgOverflow.French());
    EXPECT_EQ(f->Plot.Density[0][0], before.Density[0][0]);  // the plot keeps its state
}

struct EnvCase {
    std::int32_t n;
    double compacted, decompacted;
    const char *d;
    double expectCompacted, expectDecompacted;
};

TEST(UpdateEnvironment, FaunaTransferThenRelaxationByAtMostD) {
    const EnvCase cases[] = {
        {0, 88, 12, "5.658", 93.658, 6.342},  {0, 100, 0, "5.658", 100, 0},
        {0, 94.342, 5.658, "5.658", 100, 0},  {10, 100, 0, "5.658", 100, 0},
        {100, 2, 98, "5.658", 5.658, 94.342}, {0, 60, 40, "0", 60, 40},
        {0, 60, 40, "abc", 60, 40},           {0, 60, 40, "-5", 55, 45},
        {0, 105, -5, "5.658", 105, -5},  // a negative share below D is left as it is
    };
    for (const auto &c : cases) {
        auto s = MakeSimul();
        s->Plot.Env[4][4] = {c.compacted, c.decompacted};
        s->Plot.Density[4][4] = c.n;
        s->Settings.Run.DecompactionD = c.d;
        s->UpdateEnvironment();
        EXPECT_NEAR(s->Plot.Env[4][4].Compacted, c.expectCompacted, 1e-12) << c.n << ' ' << c.compacted;
        EXPECT_NEAR(s->Plot.Env[4][4].Decompacted, c.expectDecompacted, 1e-12) << c.n << ' ' << c.compacted;
    }
    auto off = MakeSimul();
    off->Settings.Run.EnvDynamic = false;
    off->Plot.Density[0][0] = 1000;
    off->UpdateEnvironment();
    EXPECT_EQ(off->Plot.Env[0][0].Compacted, 50);
    auto big = MakeSimul();
    big->Settings.Run.DecompactionD = "1e999";
    ExpectFault([&] { big->UpdateEnvironment(); }, MsgOverflow.French());
}

TEST(TimeStep, OrderFollowsDispersalFirst) {
    // Survival first kills the crowd before it can spread; dispersal first spreads it.
    for (bool dispersalFirst : {false, true}) {
        auto s = MakeSimul(50);
        s->Plot.Env[25][25].Compacted = 0;  // capacity 0 there: survival kills the whole cell
        s->Settings.Species.DispersalFirst = dispersalFirst;
        s->Settings.Run.EnvDynamic = false;
        s->Plot.Density[25][25] = 50;
        s->TimeStep();
        EXPECT_EQ(TotalCount(*s) > 0, dispersalFirst);
    }
}

}  // namespace
}  // namespace glebix
