// Whole seeded runs: repeatable to the bit, and their invariants hold.
#include <cmath>

#include <gtest/gtest.h>

#include "Simul.h"
#include "TestSupport.h"

namespace glebix {
namespace {

using testing::ReadAll;
using testing::ScratchDir;

// FNV-1a over the plot's grids and the generator state.
std::uint64_t HashState(const Simul &s) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void *data, std::size_t size) {
        const auto *p = static_cast<const unsigned char *>(data);
        for (std::size_t k = 0; k < size; ++k) h = (h ^ p[k]) * 1099511628211ull;
    };
    mix(s.Plot.Density.Data(), s.Plot.Density.Size() * sizeof(std::int32_t));
    mix(s.Plot.Env.Data(), s.Plot.Env.Size() * sizeof(TCellEnv));
    mix(&s.RandomSeed, sizeof s.RandomSeed);
    return h;
}

struct RunCase {
    const char *name;
    void (*configure)(TSettings &);
    int steps;
    std::uint64_t hash;  // state after the run; pins every draw of the model
};

void Defaults(TSettings &) {}
void Varied(TSettings &t) {
    t.Species.DispersalSensitivity = "2";
    t.Species.FecundityEnvSensitive = true;
    t.Species.ResponseShape = 1;
    t.Species.ResponseOptimum = 30;
    t.Species.ResponseTolerance = 8;
    t.Species.Fecundity = "3.5";
    t.Species.DispersalFirst = true;
    t.Initial.DistInitMode = 1;
    t.Run.DecompactionD = "1.5";
}

class SeededRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(SeededRun, IsRepeatableAndKeepsItsInvariants) {
    const RunCase &c = GetParam();
    std::uint64_t hashes[2];
    std::string files[2];
    for (int k = 0; k < 2; ++k) {
        auto s = std::make_unique<Simul>();
        c.configure(s->Settings);
        s->SetUpRun(20261208);
        for (int step = 1; step <= c.steps; ++step) {
            s->TimeStep();
            for (int i = 0; i < 50; ++i)
                for (int j = 0; j < 50; ++j) {
                    const TCellEnv &env = s->Plot.Env[i][j];
                    ASSERT_GE(s->Plot.Density[i][j], 0);
                    ASSERT_NEAR(env.Compacted + env.Decompacted, 100, 1e-9);
                    ASSERT_GE(env.Compacted, 0);
                    ASSERT_GE(env.Decompacted, 0);
                }
        }
        hashes[k] = HashState(*s);
        ScratchDir dir;
        s->Settings.Run.ResultDirectory = dir.Path();
        s->WriteResultFile();
        files[k] = ReadAll(s->ResultFilePath());
    }
    EXPECT_EQ(hashes[0], hashes[1]);
    EXPECT_EQ(files[0], files[1]);
    EXPECT_EQ(hashes[0], c.hash) << std::hex << "0x" << hashes[0];
}

INSTANTIATE_TEST_SUITE_P(Runs, SeededRun,
                         ::testing::Values(RunCase{"defaults", Defaults, 150, 0x39ac3dd46e4b9b88ull},
                                           RunCase{"varied", Varied, 25, 0x184ca1f67f3282ceull}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace glebix
