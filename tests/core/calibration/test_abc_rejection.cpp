// Rejection: which candidates are kept, the regression adjustment (exact when the
// summaries are linear in the parameters, inside the prior on the logit scale), the
// weighted quantiles, and the normal mean's known posterior.
#include <gtest/gtest.h>

#include <cmath>

#include "AbcRejection.h"
#include "KnownPosteriors.h"

using namespace glebix::calibration;
using namespace glebix::calibration::testing;

namespace {

// Candidates with one factor whose values are `values` and one summary `summary(value)`.
Candidates LineCandidates(const std::vector<double> &values, double (*summary)(double), double observed) {
    PriorRuns runs;
    runs.Parameters = Matrix(0, 1);
    runs.Summaries = Matrix(0, 1);
    for (std::size_t i = 0; i < values.size(); ++i) {
        runs.Parameters.AppendRow(std::vector<double>{values[i]});
        runs.Summaries.AppendRow(std::vector<double>{summary(values[i])});
        runs.Points.push_back(static_cast<std::int64_t>(i + 1));
        runs.Seeds.push_back(i);
    }
    return CandidatesOf(runs, std::vector<double>{observed}, false);
}

std::vector<double> Grid(double low, double high, int n) {
    std::vector<double> out;
    for (int i = 0; i < n; ++i) out.push_back(low + (high - low) * (i + 0.5) / n);
    return out;
}

}  // namespace

TEST(AbcRejection, KeepsTheClosestFractionWithTiesToTheEarlierRow) {
    // Distances 2 1 1 1 0 (scaled alike): a quarter of five is two, the 0 and the first 1.
    const Candidates c = LineCandidates(
        {5, 4, 2, 4, 3}, [](double v) { return v; }, 3);
    const Posterior p = Reject(c, std::vector<Factor>{{"a", 0, 10}}, {0.25, Adjustment::None});
    ASSERT_EQ(p.Values.Rows, 2u);
    EXPECT_EQ(p.Ids[0].Row, 4u);
    EXPECT_EQ(p.Ids[1].Row, 1u);
    EXPECT_EQ(p.Weights, (std::vector<double>{1, 1}));
    EXPECT_DOUBLE_EQ(p.Tolerance, p.Distances[1]);
    EXPECT_EQ(Reject(c, std::vector<Factor>{{"a", 0, 10}}, {1, Adjustment::None}).Values.Rows, 5u);
}

TEST(AbcRejection, BadInputIsRefusedByKey) {
    const Candidates c = LineCandidates(
        {1, 2, 3}, [](double v) { return v; }, 2);
    const std::vector<Factor> one{{"a", 0, 10}};
    for (double q : {0.0, -0.1, 1.5, std::nan("")})
        EXPECT_EQ(KeyOf([&] { Reject(c, one, {q}); }), "calibration.accept_fraction") << q;
    const std::vector<Factor> two{{"a", 0, 10}, {"b", 0, 10}};
    EXPECT_EQ(KeyOf([&] { Reject(c, two, {}); }), "calibration.parameter_count");
    EXPECT_EQ(KeyOf([&] { Reject(c, std::vector<Factor>{{"a", 1, 1}}, {}); }), "calibration.bounds");
    EXPECT_EQ(KeyOf([&] { Reject(c, std::vector<Factor>{{"a", 0, 1, FactorScale::Log}}, {}); }), "calibration.bounds");
    EXPECT_EQ(KeyOf([&] { Reject(c, std::vector<Factor>{}, {}); }), "calibration.no_factor");
    EXPECT_EQ(KeyOf([&] { Reject(c, std::vector<Factor>{{"a", 0, 1}, {"a", 0, 1}}, {}); }), "calibration.factor_twice");
    const Candidates faulted = LineCandidates(
        {1, 2}, [](double) { return std::nan(""); }, 2);
    EXPECT_EQ(faulted.FaultedRuns, 2u);
    EXPECT_EQ(KeyOf([&] { Reject(faulted, one, {}); }), "calibration.none_accepted");
}

// A summary exactly linear in the parameter: the regression moves every kept value onto
// the one that gives the observation, on the working scale (the logarithm for a log factor).
TEST(AbcRejection, LinearSummariesAreAdjustedOntoTheAnswer) {
    const Candidates linear = LineCandidates(
        Grid(0, 10, 200), [](double v) { return 2 * v + 1; }, 8);
    const Posterior p =
        Reject(linear, std::vector<Factor>{{"a", 0, 10}}, {0.2, Adjustment::LocalLinear, AdjustScale::Working});
    for (std::size_t i = 0; i < p.Values.Rows; ++i) EXPECT_NEAR(p.Values(i, 0), 3.5, 1e-9);
    EXPECT_NE(p.Unadjusted(0, 0), p.Unadjusted(1, 0));

    std::vector<double> values;
    for (double v : Grid(0, 1, 200)) values.push_back(std::exp(v * std::log(1000.0)) / 10);  // 0.1 to 100
    Candidates logCandidates = LineCandidates(
        values, [](double v) { return std::log(v); }, std::log(2.0));
    const Posterior q = Reject(logCandidates, std::vector<Factor>{{"k", 0.1, 100, FactorScale::Log}},
                               {0.2, Adjustment::LocalLinear, AdjustScale::Working});
    for (std::size_t i = 0; i < q.Values.Rows; ++i) EXPECT_NEAR(q.Values(i, 0), 2, 1e-9);
}

// Observed beyond what the prior can reach: on the working scale the adjustment leaves the
// prior; on the logit scale every value stays inside it.
TEST(AbcRejection, LogitAdjustmentStaysInsideThePrior) {
    const std::vector<Factor> f{{"a", 0, 1}};
    const Candidates c = LineCandidates(
        Grid(0, 1, 500), [](double v) { return v; }, 1.2);
    const Posterior working = Reject(c, f, {0.1, Adjustment::LocalLinear, AdjustScale::Working});
    const Posterior logit = Reject(c, f, {0.1, Adjustment::LocalLinear, AdjustScale::Logit});
    double highest = 0;
    for (std::size_t i = 0; i < working.Values.Rows; ++i) highest = std::max(highest, working.Values(i, 0));
    EXPECT_GT(highest, 1);
    for (std::size_t i = 0; i < logit.Values.Rows; ++i) {
        EXPECT_GE(logit.Values(i, 0), 0);
        EXPECT_LE(logit.Values(i, 0), 1);
    }
}

TEST(AbcRejection, WeightedQuantilesFollowHazensRule) {
    const std::vector<double> v{4, 1, 3, 2}, equal(4, 1.0);
    EXPECT_DOUBLE_EQ(WeightedQuantile(v, equal, 0.5), 2.5);
    EXPECT_DOUBLE_EQ(WeightedQuantile(v, equal, 0.25), 1.5);
    EXPECT_DOUBLE_EQ(WeightedQuantile(v, equal, 0.1), 1);    // below the first middle
    EXPECT_DOUBLE_EQ(WeightedQuantile(v, equal, 0.975), 4);  // beyond the last
    // A weight of 0 counts for nothing; weights 1 and 3 stand at 1/8 and 5/8.
    EXPECT_DOUBLE_EQ(WeightedQuantile(std::vector<double>{0, 9, 1}, std::vector<double>{1, 0, 3}, 0.5), 0.75);
    EXPECT_TRUE(std::isnan(WeightedQuantile(v, std::vector<double>(4, 0.0), 0.5)));
}

TEST(AbcRejection, NormalMeanPosteriorWithRegressionAdjustment) {
    constexpr std::size_t Runs = 20000;
    constexpr double Fraction = 0.05;
    const PriorRuns runs = SamplePrior(MeanFactor(), Runs, 7, NormalMeanModel());
    const Candidates c = CandidatesOf(runs, std::vector<double>{ObservedMean}, false);
    for (const AdjustScale scale : {AdjustScale::Working, AdjustScale::Logit}) {
        const Posterior p = Reject(c, MeanFactor(), {Fraction, Adjustment::LocalLinear, scale});
        const FactorSummary s = Summarise(p)[0];
        EXPECT_EQ(s.Factor, "mu");
        EXPECT_NEAR(s.Mean, ObservedMean, 0.1 * ObservedMean);
        EXPECT_NEAR(s.Median, ObservedMean, 0.1 * ObservedMean);
        EXPECT_NEAR(s.Low95, ExactLow95, 0.1 * ExactLow95);
        EXPECT_NEAR(s.High95, ExactHigh95, 0.1 * ExactHigh95);
        // Stricter than the bounds: the interval's width, and the mean within a tenth of a sd.
        EXPECT_NEAR(s.High95 - s.Low95, ExactHigh95 - ExactLow95, 0.1 * (ExactHigh95 - ExactLow95));
        EXPECT_NEAR(s.Mean, ObservedMean, 0.1 * ExactSd);
        EXPECT_LT(s.Low50, s.Median);
        EXPECT_LT(s.Median, s.High50);
    }
    // Without the adjustment, the same tolerance widens the interval beyond the exact one.
    const FactorSummary plain = Summarise(Reject(c, MeanFactor(), {Fraction, Adjustment::None}))[0];
    EXPECT_GT(plain.High95 - plain.Low95, 1.2 * (ExactHigh95 - ExactLow95));
}
