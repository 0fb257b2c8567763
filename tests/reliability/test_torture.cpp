// Parameter torture: seeded random settings over wide ranges, extremes and garbage
// texts included, each run for a few steps. Every run completes or ends with one of
// the program's messages; no real that is not finite is ever stored in the plot;
// a dispersal pass keeps every individual; each step equals its processes applied
// one by one with the plain dispersal pass. Under the sanitizer build any access
// outside a grid is reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ReliabilitySupport.h"
#include "Simul.h"

namespace glebix {
namespace {

using reliability::IsFloatMessage;
using reliability::IsSetUpMessage;
using reliability::ScratchDir;

// Individuals a step may disperse before a run is cut short: crowded plots cost two
// draws per individual and prove nothing more than a few thousand individuals do.
constexpr double DispersalBudget = 250000;
constexpr int StepsPerRun = 4;
constexpr int RunsPerShard = 60;
constexpr int Shards = 8;

class SettingsDrawer {
public:
    explicit SettingsDrawer(std::uint32_t seed) : gen_(seed) {}

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(gen_) < p; }
    double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen_); }

    static std::string Text(double v) {
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
        return std::string(buffer, end);
    }

    // Texts no field should hold, yet any may: the conversions take them all.
    std::string Garbage() {
        static const std::array<const char *, 22> texts = {
            "",           " ",   "abc",  "0,4",  "1e",    "--1",    "$10",
            "0x7FFFFFFF", "nan", "inf",  "-inf", "1e400", "-1e400", "1e-400",
            "0.4x",       "12 ", " 300", "+",    ".",     "1.2.3",  "99999999999999999999",
            "\t5"};
        return texts[Pick(static_cast<int>(texts.size()))];
    }

    // A real field: mostly a value in [lo, hi], sometimes an extreme or garbage.
    std::string Real(double lo, double hi, std::initializer_list<double> extremes) {
        const int kind = Pick(40);
        if (kind == 0) return Garbage();
        if (kind <= 8 && extremes.size()) return Text(*(extremes.begin() + Pick(static_cast<int>(extremes.size()))));
        return Text(Uniform(lo, hi));
    }

    std::string Whole(int lo, int hi, std::initializer_list<std::int64_t> extremes) {
        const int kind = Pick(40);
        if (kind == 0) return Garbage();
        if (kind <= 8 && extremes.size())
            return std::to_string(*(extremes.begin() + Pick(static_cast<int>(extremes.size()))));
        return std::to_string(std::uniform_int_distribution<int>(lo, hi)(gen_));
    }

    // Triples of an input file, with huge and negative values in a few cells and,
    // now and then, a triple that must be refused.
    std::string InputFile(bool reals) {
        std::string out;
        const int triples = Pick(12);
        for (int k = 0; k < triples; ++k) {
            out += std::to_string(1 + Pick(50)) + " " + std::to_string(1 + Pick(50)) + " ";
            if (reals)
                out += Real(-200, 300, {-1e300, 1e300, -0.0, 5e-324, 100, 0});
            else
                out += Whole(-50, 200, {2147483647, -2147483647 - 1, 20000, -1, 0});
            out += Pick(2) ? "\r\n" : " ";
        }
        if (Chance(0.1)) out += Pick(2) ? "51 1 5\n" : "1 1 x\n";
        if (Chance(0.05)) out += "7 7\n";
        return out;
    }

    TSettings Draw(const ScratchDir &dir, int run) {
        TSettings s = DefaultSettings();
        SpeciesSettings &sp = s.Species;
        sp.Survival = Real(-1, 2, {0, 1, -1e6, 1e6, 1.5});
        sp.Fecundity = Real(0, 6, {0, -3, 1e300, 1e9, 0.5, 30});
        sp.MortalityAlpha = Real(-3, 10, {0, -1e3, 1e3, 1e300});
        sp.CompactionC = Real(-1, 2, {-0.0001, 0, -0.00001, 1e-12, 1e300, -1e300});
        sp.DispersalSensitivity = Whole(-50, 50, {50, -50, 2147483647, -2147483647 - 1});
        sp.DispersalSigma = Real(0, 20, {0, 13.58, 13.6, 50, 1e3, 1e6, -1e6, 1e300});
        sp.ResponseShape = Pick(25) ? Pick(3) : Pick(2) ? -1 : 3;
        sp.ResponseOptimum = Chance(0.02) ? INFINITY : Uniform(-100, 100);
        sp.ResponseTolerance = Chance(0.04) ? 0.0 : Chance(0.02) ? NAN : Uniform(-50, 50);
        sp.SurvivalEnvSensitive = Pick(2);
        sp.FecundityEnvSensitive = Pick(2);
        sp.DispersalFirst = Pick(2);

        InitialSettings &in = s.Initial;
        in.EnvInitMode = Pick(10) ? Pick(3) : Pick(2) ? -1 : 7;
        in.EnvMean = Real(-50, 150, {0, 100, 1e300, -1e300});
        in.EnvVariability = Real(0, 100, {0, -10, 1e300});
        in.EnvConstant = Real(-50, 150, {-5, 0, 100, 1e300, -1e300});
        in.DistInitMode = Pick(10) ? Pick(5) : Pick(2) ? -1 : 9;
        in.DistConstant = Whole(-5, 12, {2147483647, -2147483647 - 1, 10000, -1});
        in.DistMean = Whole(-5, 12, {2147483647, -2147483647 - 1, 0});
        in.DistVariability = Real(0, 15, {0, -20, 1e9, 1e300});
        const std::string tag = std::to_string(run);
        const int envPath = Pick(20), distPath = Pick(20);
        in.EnvFilePath = envPath == 0 ? "" : envPath == 1 ? dir.Sub("absent") : dir.File("env" + tag, InputFile(true));
        in.DistFilePath = distPath == 0 ? "" : distPath == 1 ? dir.Path() : dir.File("dist" + tag, InputFile(false));

        RunSettings &r = s.Run;
        r.EnvDynamic = Pick(4) != 0;
        r.DecompactionD = Real(-10, 20, {0, 5.658, 1e300, -1e300});
        r.ChartCellX = Whole(-5, 60, {2147483647, -2147483647 - 1});
        r.ChartCellY = Whole(-5, 60, {2147483647, -2147483647 - 1});
        return s;
    }

private:
    std::mt19937 gen_;
};

// An upper bound of the individuals the next step can disperse: reproduction and
// survival leave at most DensityCap in a cell, and a cell can grow at most by its
// offspring and by a negative mortality. A negative count whose offspring take it
// below the 32-bit range wraps on narrowing to any count, so there is no bound then.
double NextDispersalBound(const Simul &s) {
    const double fecundity = s.Species.Fecundity;
    const double growth = (1 + std::fabs(fecundity)) * (1 + std::fabs(1 - s.Species.Survival));
    double total = 0;
    for (const auto &row : s.Plot.Density)
        for (std::int32_t n : row) {
            if (n == 0) continue;  // an empty cell has no offspring and loses nobody
            if (n < 0 && n * (1 + fecundity) - 2 < -2147483648.0) return INFINITY;
            const double magnitude = std::fabs(static_cast<double>(n));
            total += std::min<double>(DensityCap, (magnitude + 1) * growth);
        }
    return total;
}

void ExpectFinitePlot(const TPlot &plot) {
    for (const auto &row : plot.Env)
        for (const TCellEnv &env : row) {
            ASSERT_TRUE(std::isfinite(env.Compacted)) << env.Compacted;
            ASSERT_TRUE(std::isfinite(env.Decompacted)) << env.Decompacted;
        }
}

std::int64_t PositiveTotal(const TPlot &plot) {
    std::int64_t total = 0;
    for (const auto &row : plot.Density)
        for (std::int32_t n : row) total += std::max(n, 0);
    return total;
}

// Bit for bit, field by field (the record has padding).
bool SamePlot(const TPlot &a, const TPlot &b) {
    return a.NRows == b.NRows && a.NCols == b.NCols && a.CellSize == b.CellSize &&
           std::memcmp(a.Env.Data(), b.Env.Data(), a.Env.Size() * sizeof(TCellEnv)) == 0 && a.Density == b.Density;
}

// Copies the state a step depends on.
void CopyRunState(const Simul &from, Simul &to) {
    to.Settings = from.Settings;
    to.Species = from.Species;
    to.Plot = from.Plot;
    to.RandomSeed = from.RandomSeed;
}

// The step of `twin` done process by process with the plain dispersal pass, checked
// for conservation; returns the message it ended with.
std::string StepByProcesses(Simul &twin) {
    return reliability::MessageOf([&] {
        twin.Reproduce();
        auto disperse = [&] {
            const std::int64_t before = PositiveTotal(twin.Plot);
            twin.DisperseReference();
            std::int64_t after = 0;
            for (const auto &row : twin.Plot.Density)
                for (std::int32_t n : row) {
                    ASSERT_GE(n, 0) << "a count is negative after dispersal";
                    after += n;
                }
            ASSERT_EQ(after, before) << "dispersal lost or made individuals";
        };
        if (twin.Settings.Species.DispersalFirst) {
            disperse();
            twin.ApplySurvival();
        } else {
            twin.ApplySurvival();
            disperse();
        }
        twin.UpdateEnvironment();
    });
}

struct ShardTally {
    int completed = 0, refusedAtSetUp = 0, endedByFault = 0, cutShort = 0;
};

class Torture : public ::testing::TestWithParam<int> {};

TEST_P(Torture, RunsCompleteOrEndWithAMessage) {
    const int shard = GetParam();
    ScratchDir dir;
    auto simul = std::make_unique<Simul>();
    auto twin = std::make_unique<Simul>();
    long yields = 0;
    simul->ProcessMessages = [&yields] { ++yields; };
    ShardTally tally;
    for (int run = 0; run < RunsPerShard; ++run) {
        SettingsDrawer drawer(static_cast<std::uint32_t>(shard * 100003 + run));
        Simul &s = *simul;
        s.Settings = drawer.Draw(dir, run);
        SCOPED_TRACE("shard " + std::to_string(shard) + ", run " + std::to_string(run) +
                     ": Survival=" + s.Settings.Species.Survival + " Fecundity=" + s.Settings.Species.Fecundity +
                     " C=" + s.Settings.Species.CompactionC + " Sigma=" + s.Settings.Species.DispersalSigma +
                     " Sensitivity=" + s.Settings.Species.DispersalSensitivity +
                     " EnvMode=" + std::to_string(s.Settings.Initial.EnvInitMode) +
                     " DistMode=" + std::to_string(s.Settings.Initial.DistInitMode));

        std::string message;
        try {
            s.SetUpRun(static_cast<std::uint32_t>(run * 7919u + 1u));
        } catch (const GlebixError &e) { message = e.what(); } catch (const std::exception &e) {
            FAIL() << "set-up ended with an exception that is not the program's: " << e.what();
        }
        if (!message.empty()) {
            EXPECT_TRUE(IsSetUpMessage(message)) << message;
            ++tally.refusedAtSetUp;
            continue;
        }
        EXPECT_TRUE(s.ChartCellX >= 1 && s.ChartCellX <= 50 && s.ChartCellY >= 1 && s.ChartCellY <= 50);
        ExpectFinitePlot(s.Plot);

        bool cut = false;
        for (int step = 1; step <= StepsPerRun && message.empty(); ++step) {
            if (NextDispersalBound(s) > DispersalBudget) {
                cut = true;
                break;
            }
            CopyRunState(s, *twin);
            try {
                s.TimeStep();
            } catch (const GlebixError &e) { message = e.what(); } catch (const std::exception &e) {
                FAIL() << "step " << step << " ended with an exception that is not the program's: " << e.what();
            }
            const std::string twinMessage = StepByProcesses(*twin);
            if (::testing::Test::HasFatalFailure()) return;
            // The step and its plain definition agree: the same outcome, the same plot,
            // and after a complete step the same generator state.
            EXPECT_EQ(twinMessage, message) << "step " << step;
            ASSERT_TRUE(SamePlot(twin->Plot, s.Plot)) << "step " << step << " differs from its definition";
            if (message.empty()) { ASSERT_EQ(twin->RandomSeed, s.RandomSeed) << "step " << step; }
            ExpectFinitePlot(s.Plot);
            if (!message.empty()) { EXPECT_TRUE(IsFloatMessage(message)) << message; }
        }
        if (!message.empty())
            ++tally.endedByFault;
        else if (cut)
            ++tally.cutShort;
        else
            ++tally.completed;
    }
    EXPECT_GT(yields, 0);
    // Each kind of outcome is met in every shard, so the draws stay meaningful.
    EXPECT_GT(tally.completed, 0);
    EXPECT_GT(tally.refusedAtSetUp, 0);
    std::printf("shard %d: %d completed, %d refused at set-up, %d ended by a fault, %d cut short\n", shard,
                tally.completed, tally.refusedAtSetUp, tally.endedByFault, tally.cutShort);
}

INSTANTIATE_TEST_SUITE_P(Shards, Torture, ::testing::Range(0, Shards));

}  // namespace
}  // namespace glebix
