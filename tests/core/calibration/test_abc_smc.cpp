// Sequential Monte Carlo: the normal mean's known posterior, the same posterior as the
// rejection's for fewer runs, one seed one calibration, a resumed calibration equal to
// the unbroken one, and the stop rules.
#include <gtest/gtest.h>

#include <cstdio>

#include "AbcRejection.h"
#include "AbcSmc.h"
#include "AbcTables.h"
#include "KnownPosteriors.h"

using namespace glebix::calibration;
using namespace glebix::calibration::testing;

namespace {

// The scaled tolerance at which the calibrations stop: about 0.074 on the sample mean
// (whose spread over the prior is near 7.4), a third of the posterior's sd.
constexpr double Target = 0.01;

SmcSettings Settings(std::uint64_t seed) {
    SmcSettings s;
    s.Population = 1000;
    s.Quantile = 0.5;
    s.TargetTolerance = Target;
    s.Seed = seed;
    return s;
}

const std::vector<double> Observed{ObservedMean};

}  // namespace

// With either kernel: twice the population's covariance, or each particle's optimal local one.
TEST(AbcSmc, NormalMeanPosterior) {
    for (const bool local : {false, true}) {
        SCOPED_TRACE(local ? "local kernel" : "global kernel");
        SmcSettings settings = Settings(11);
        settings.LocalKernel = local;
        AbcSmc smc(MeanFactor(), settings);
        RunSmc(smc, Observed, NormalMeanModel());
        ASSERT_EQ(smc.Stop(), SmcStop::Tolerance);
        const FactorSummary s = Summarise(smc.Current())[0];
        EXPECT_NEAR(s.Mean, ObservedMean, 0.1 * ObservedMean);
        EXPECT_NEAR(s.Low95, ExactLow95, 0.1 * ExactLow95);
        EXPECT_NEAR(s.High95, ExactHigh95, 0.1 * ExactHigh95);
        EXPECT_NEAR(s.High95 - s.Low95, ExactHigh95 - ExactLow95, 0.1 * (ExactHigh95 - ExactLow95));
        EXPECT_NEAR(s.Mean, ObservedMean, 0.1 * ExactSd);
        // Adjusted by the regression on the particles' deviations, still the exact posterior.
        const FactorSummary a = Summarise(smc.Adjusted())[0];
        EXPECT_NEAR(a.Mean, ObservedMean, 0.1 * ExactSd);
        EXPECT_NEAR(a.Low95, ExactLow95, 0.1 * ExactLow95);
        EXPECT_NEAR(a.High95, ExactHigh95, 0.1 * ExactHigh95);
        // Each generation within a smaller tolerance, every particle inside the prior.
        for (std::size_t g = 1; g < smc.History().size(); ++g)
            EXPECT_LT(smc.History()[g].Tolerance, smc.History()[g - 1].Tolerance);
        const Posterior p = smc.Current();
        for (std::size_t i = 0; i < p.Values.Rows; ++i) EXPECT_LE(p.Distances[i], smc.History().back().Tolerance);
        // Its particles written as a rejection's: each with its run's number and seed.
        const CsvText csv = ParseCsv(PosteriorCsv(p, PriorRuns{}), "posterior.csv");
        ASSERT_EQ(csv.Rows.size(), p.Values.Rows);
        EXPECT_EQ(csv.Rows[0][0], std::to_string(p.Ids[0].Point));
        EXPECT_EQ(csv.Rows[0][1], "");
        EXPECT_EQ(csv.Rows[0][2], std::to_string(p.Ids[0].Seed));
    }
}

// Plain rejection at the same tolerance against SMC: the same posterior within Monte Carlo
// error, for at most half the runs.
TEST(AbcSmc, ReachesTheRejectionsPosteriorWithHalfTheRuns) {
    SmcSettings settings = Settings(3);
    settings.LocalKernel = true;
    AbcSmc smc(MeanFactor(), settings);
    int smcRuns = 0;
    RunSmc(smc, Observed, NormalMeanModel(&smcRuns));
    const Posterior ps = smc.Current();
    ASSERT_EQ(static_cast<std::size_t>(smcRuns), smc.Runs());

    constexpr std::size_t RejectionRuns = 150000;
    const Candidates c = CandidatesOf(SamplePrior(MeanFactor(), RejectionRuns, 5, NormalMeanModel()), Observed, false);
    const double fraction = static_cast<double>(Settings(3).Population) / RejectionRuns;
    const Posterior pr = Reject(c, MeanFactor(), {fraction, Adjustment::None});
    EXPECT_LE(2 * smc.Runs(), RejectionRuns);
    EXPECT_LE(pr.Tolerance, 1.1 * smc.History().back().Tolerance);

    const double sd = ExactSd, ess = EffectiveSize(ps.Weights);
    const double meanError = 4 * sd * std::sqrt(1 / ess + 1.0 / pr.Values.Rows);
    EXPECT_NEAR(Weighted(ps, 0, -1), Weighted(pr, 0, -1), meanError);
    for (double level : {0.025, 0.5, 0.975})
        EXPECT_NEAR(Weighted(ps, 0, level), Weighted(pr, 0, level), 2.5 * meanError);
    std::printf("SMC: %zu runs in %zu generations, tolerance %s, ESS %s, mean %s, 95%% [%s, %s]\n", smc.Runs(),
                smc.History().size(), NumberText(smc.History().back().Tolerance).c_str(), NumberText(ess).c_str(),
                NumberText(Weighted(ps, 0, -1)).c_str(), NumberText(Weighted(ps, 0, 0.025)).c_str(),
                NumberText(Weighted(ps, 0, 0.975)).c_str());
    std::printf("rejection: %zu runs, tolerance %s, mean %s, 95%% [%s, %s]\n", RejectionRuns,
                NumberText(pr.Tolerance).c_str(), NumberText(Weighted(pr, 0, -1)).c_str(),
                NumberText(Weighted(pr, 0, 0.025)).c_str(), NumberText(Weighted(pr, 0, 0.975)).c_str());
}

TEST(AbcSmc, OneSeedGivesOneCalibration) {
    SmcSettings s = Settings(21);
    s.Population = 200;
    s.MaxGenerations = 4;
    AbcSmc a(MeanFactor(), s), b(MeanFactor(), s);
    RunSmc(a, Observed, NormalMeanModel());
    RunSmc(b, Observed, NormalMeanModel());
    EXPECT_EQ(a.Save(), b.Save());
    s.Seed = 22;
    AbcSmc c(MeanFactor(), s);
    RunSmc(c, Observed, NormalMeanModel());
    EXPECT_NE(a.Save(), c.Save());
}

// Interrupted after any number of batches (within a generation or between two), saved,
// restored and run on: the same calibration as the unbroken one, to the last bit, its
// faulted runs counted over the whole calibration; with fixed or adaptive scales, and
// stopped by its generations or by its budget.
TEST(AbcSmc, ResumedCalibrationEqualsTheUnbrokenOne) {
    const std::vector<Factor> factors{{"mu", PriorLow, PriorHigh}, {"k", 0.01, 100, FactorScale::Log}};
    const Model model = [](std::span<const double> v, std::uint32_t seed) {
        Stream stream(seed);
        if (stream.Uniform() < 0.1) return std::vector<double>{};  // a run that faults
        return std::vector<double>{v[0] + stream.Normal() / 4, std::log(v[1]) + stream.Normal() / 4};
    };
    const std::vector<double> observed{1, 0.5};
    for (const bool adaptive : {false, true})
        for (const std::size_t budget : {0, 1500}) {
            SmcSettings s = Settings(5);
            s.LocalKernel = adaptive != (budget > 0);
            s.Population = 200;
            s.MaxGenerations = 5;
            s.AdaptiveScales = adaptive;
            s.RunBudget = budget;
            AbcSmc unbroken(factors, s);
            RunSmc(unbroken, observed, model);
            ASSERT_EQ(unbroken.Stop(), budget > 0 ? SmcStop::Budget : SmcStop::Generations);
            ASSERT_GT(unbroken.FaultedRuns(), 0u);
            for (std::size_t batches : {1, 2, 3, 5, 8}) {
                SCOPED_TRACE(std::to_string(batches) + (adaptive ? " adaptive" : " fixed") + std::to_string(budget));
                AbcSmc first(factors, s);
                RunSmc(first, observed, model, batches);
                const std::string saved = first.Save();
                AbcSmc resumed = AbcSmc::Restore(saved);
                EXPECT_EQ(resumed.Save(), saved);
                RunSmc(resumed, observed, model);
                EXPECT_EQ(resumed.Save(), unbroken.Save());
                EXPECT_EQ(resumed.Runs(), unbroken.Runs());
                EXPECT_EQ(resumed.FaultedRuns(), unbroken.FaultedRuns());
                EXPECT_EQ(PosteriorCsv(resumed.Adjusted(), PriorRuns{}),
                          PosteriorCsv(unbroken.Adjusted(), PriorRuns{}));
            }
        }
}

TEST(AbcSmc, StopRules) {
    SmcSettings s = Settings(9);
    s.Population = 100;
    s.TargetTolerance = 0;
    s.RunBudget = 450;
    AbcSmc budget(MeanFactor(), s);
    RunSmc(budget, Observed, NormalMeanModel());
    EXPECT_EQ(budget.Stop(), SmcStop::Budget);
    EXPECT_LE(budget.Runs(), 450u);
    EXPECT_TRUE(budget.NextBatch().empty());
    // The generation cut short by the budget is the result when it accepted at least half
    // a population; its runs are the budget's.
    const std::size_t kept = budget.Current().Values.Rows;
    EXPECT_GE(kept, 50u);
    EXPECT_LE(kept, 100u);
    EXPECT_EQ(budget.History().back().Accepted, kept);
    std::size_t made = 0;
    for (const SmcGeneration &g : budget.History()) made += g.Runs;
    EXPECT_EQ(made, budget.Runs());
    s.FinalShare = 1;  // only full generations
    AbcSmc full(MeanFactor(), s);
    RunSmc(full, Observed, NormalMeanModel());
    EXPECT_EQ(full.Current().Values.Rows, 100u);
    EXPECT_LT(full.History().size(), budget.History().size());

    s.RunBudget = 50;  // less than the prior generation
    AbcSmc tooSmall(MeanFactor(), s);
    RunSmc(tooSmall, Observed, NormalMeanModel());
    EXPECT_EQ(tooSmall.Stop(), SmcStop::Budget);
    EXPECT_EQ(KeyOf([&] { tooSmall.Current(); }), "calibration.no_population");

    s.RunBudget = 0;
    s.MinAcceptance = 0.2;
    AbcSmc acceptance(MeanFactor(), s);
    RunSmc(acceptance, Observed, NormalMeanModel());
    EXPECT_EQ(acceptance.Stop(), SmcStop::Acceptance);
    // Stopped after a generation below the rate, or during one that could not end above it
    // (more than 4 runs per particle made: 100 / (runs + 100 - accepted) < 0.2).
    std::size_t complete = 0;
    for (const SmcGeneration &g : acceptance.History()) complete += g.Runs;
    const SmcGeneration last = acceptance.History().back();
    EXPECT_TRUE(static_cast<double>(last.Accepted) / last.Runs < 0.2 || acceptance.Runs() - complete > 400);
    for (std::size_t g = 1; g + 1 < acceptance.History().size(); ++g)
        EXPECT_GE(static_cast<double>(acceptance.History()[g].Accepted) / acceptance.History()[g].Runs, 0.2);

    // A model that always faults is refused once the prior generation's first batch is back.
    const Model faults = [](std::span<const double>, std::uint32_t) { return std::vector<double>{}; };
    s.MinAcceptance = 0;
    AbcSmc never(MeanFactor(), s);
    EXPECT_EQ(KeyOf([&] { RunSmc(never, Observed, faults); }), "calibration.none_accepted");
}

// Runs that fault are never accepted; the population is still full.
TEST(AbcSmc, FaultedRunsAreNeverAccepted) {
    SmcSettings s = Settings(13);
    s.Population = 100;
    s.MaxGenerations = 3;
    const Model faultsAboveFive = [](std::span<const double> v, std::uint32_t seed) {
        return v[0] > 5 ? std::vector<double>{} : NormalMeanModel()(v, seed);
    };
    AbcSmc smc(MeanFactor(), s);
    RunSmc(smc, Observed, faultsAboveFive);
    const Posterior p = smc.Current();
    ASSERT_EQ(p.Values.Rows, 100u);
    for (std::size_t i = 0; i < p.Values.Rows; ++i) EXPECT_LE(p.Values(i, 0), 5);
}

TEST(AbcSmc, BadSettingsAndStatesAreRefusedByKey) {
    SmcSettings s = Settings(1);
    s.Population = 1;
    EXPECT_EQ(KeyOf([&] { AbcSmc(MeanFactor(), s); }), "calibration.population");
    s = Settings(1);
    s.Quantile = 1;
    EXPECT_EQ(KeyOf([&] { AbcSmc(MeanFactor(), s); }), "calibration.quantile");
    s = Settings(1);
    s.MinAcceptance = 2;
    EXPECT_EQ(KeyOf([&] { AbcSmc(MeanFactor(), s); }), "calibration.stop_rule");
    AbcSmc smc(MeanFactor(), Settings(1));
    EXPECT_EQ(KeyOf([&] { smc.TakeDistances(std::vector<double>{1}); }), "calibration.no_batch");
    const std::size_t batch = smc.NextBatch().size();
    EXPECT_EQ(smc.NextBatch().size(), batch);  // the same batch until its distances come back
    EXPECT_EQ(KeyOf([&] { smc.TakeDistances(std::vector<double>(batch + 1, 1.0)); }), "calibration.distance_count");

    s = Settings(1);
    s.Population = 10;
    s.MaxGenerations = 2;
    AbcSmc small(MeanFactor(), s);
    RunSmc(small, Observed, NormalMeanModel());
    const std::string saved = small.Save();
    try {
        std::string broken = saved;
        broken.replace(broken.find("particle"), 8, "partikel");
        AbcSmc::Restore(broken);
        FAIL();
    } catch (const CalibrationError &e) {
        EXPECT_EQ(e.Key(), "calibration.bad_state");
        EXPECT_EQ(e.Args().size(), 1u);
    }
    EXPECT_EQ(KeyOf([&] { AbcSmc::Restore(saved.substr(0, saved.size() / 2)); }), "calibration.bad_state");
    EXPECT_EQ(KeyOf([&] { AbcSmc::Restore(""); }), "calibration.bad_state");
    // A state of an earlier format is refused as such, naming it, not misread.
    std::string older = saved;
    older.replace(0, older.find('\n'), "glebix-abc-smc 1");
    try {
        AbcSmc::Restore(older, "abc-smc-state.txt");
        FAIL();
    } catch (const CalibrationError &e) {
        EXPECT_EQ(e.Key(), "calibration.state_version");
        EXPECT_EQ(e.Args(), (std::vector<std::string>{"abc-smc-state.txt", "1", std::to_string(SmcStateVersion)}));
    }
    s = Settings(1);
    s.FinalShare = 0;
    EXPECT_EQ(KeyOf([&] { AbcSmc(MeanFactor(), s); }), "calibration.final_share");
    std::string noSettings = saved;
    const std::size_t at = noSettings.find("settings");
    noSettings.erase(at, noSettings.find('\n', at) + 1 - at);
    EXPECT_EQ(KeyOf([&] { AbcSmc::Restore(noSettings); }), "calibration.bad_state");
}

// A logarithmic factor: the prior is flat in log k, the summary log k plus a normal error
// of sd 1/4, so the posterior of log k is normal around the observed summary.
TEST(AbcSmc, LogScaleFactorPosterior) {
    constexpr double Sd = 0.25, Observed = 0.5;
    const std::vector<Factor> k{{"k", 0.01, 100, FactorScale::Log}};
    const Model model = [](std::span<const double> v, std::uint32_t seed) {
        Stream stream(seed);
        return std::vector<double>{std::log(v[0]) + Sd * stream.Normal()};
    };
    SmcSettings s = Settings(19);
    s.TargetTolerance = 0.02;
    AbcSmc smc(k, s);
    RunSmc(smc, std::vector<double>{Observed}, model);
    const FactorSummary f = Summarise(smc.Current())[0];
    EXPECT_NEAR(f.Median, std::exp(Observed), 0.1 * std::exp(Observed));
    EXPECT_NEAR(f.Low95, std::exp(Observed - Normal975 * Sd), 0.1 * std::exp(Observed - Normal975 * Sd));
    EXPECT_NEAR(f.High95, std::exp(Observed + Normal975 * Sd), 0.1 * std::exp(Observed + Normal975 * Sd));
}

// Runs that all give one summary (a population gone extinct: 0) tie at one distance; with
// more than half the population there, the tolerance must still go below it.
TEST(AbcSmc, TiedDistancesDoNotHoldTheTolerance) {
    SmcSettings s = Settings(17);
    s.Population = 200;
    s.MaxGenerations = 8;
    const Model extinctBelowZero = [](std::span<const double> v, std::uint32_t seed) {
        return v[0] < 0 ? std::vector<double>{0.0} : NormalMeanModel()(v, seed);
    };
    AbcSmc smc(MeanFactor(), s);
    RunSmc(smc, Observed, extinctBelowZero);
    const auto &history = smc.History();
    ASSERT_GE(history.size(), 4u);
    for (std::size_t g = 2; g < history.size(); ++g) EXPECT_LT(history[g].Tolerance, history[g - 1].Tolerance);
    const FactorSummary summary = Summarise(smc.Current())[0];
    EXPECT_LT(summary.Low95, ObservedMean);
    EXPECT_GT(summary.High95, ObservedMean);
    EXPECT_GT(summary.Low95, 0);
}

// The distance's scales: the prior generation's spread of each summary unless the caller
// gives one; with AdaptiveScales, remade on each generation's runs, so that a summary
// whose spread shrinks near the observations keeps its weight (the sample mean's spread
// falls from the prior's, about 5.8, towards the posterior's), and the known posterior
// is still reached.
TEST(AbcSmc, DistanceScalesGivenOrAdaptive) {
    const std::vector<Factor> two{{"mu", PriorLow, PriorHigh}, {"nu", PriorLow, PriorHigh}};
    const Model model = [](std::span<const double> v, std::uint32_t seed) {
        const double mean = NormalMeanModel()(v.first(1), seed)[0];
        return std::vector<double>{mean, v[1]};
    };
    const std::vector<double> observed{ObservedMean, 0};
    SmcSettings s = Settings(23);
    s.Population = 300;
    s.MaxGenerations = 2;
    AbcSmc given(two, s);
    given.SetGivenScales({0, 2.5});
    RunSmc(given, observed, model);
    ASSERT_EQ(given.DistanceScales().size(), 2u);
    EXPECT_GT(given.DistanceScales()[0], 4);
    EXPECT_EQ(given.DistanceScales()[1], 2.5);

    s.Population = 1000;
    s.MaxGenerations = 8;
    s.TargetTolerance = 0;
    s.AdaptiveScales = true;
    s.LocalKernel = true;
    AbcSmc adaptive(MeanFactor(), s);
    RunSmc(adaptive, Observed, NormalMeanModel());
    EXPECT_LT(adaptive.DistanceScales()[0], 1);
    const FactorSummary f = Summarise(adaptive.Adjusted())[0];
    EXPECT_NEAR(f.Mean, ObservedMean, 0.1 * ExactSd);
    EXPECT_NEAR(f.Low95, ExactLow95, 0.1 * ExactLow95);
    EXPECT_NEAR(f.High95, ExactHigh95, 0.1 * ExactHigh95);
}
