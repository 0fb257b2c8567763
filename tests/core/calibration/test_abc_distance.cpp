// The distance: no summary weighs by its unit, a summary of no spread is handled without
// a division by zero, faulted runs are left out and counted, replicates taken together.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "AbcDistance.h"
#include "AbcStatistics.h"
#include "CalibrationError.h"

using namespace glebix::calibration;

namespace {

constexpr double Missing = std::numeric_limits<double>::quiet_NaN();

Matrix Rows(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix m;
    for (const auto &row : rows) m.AppendRow(std::vector<double>(row));
    return m;
}

PriorRuns RunsOf(Matrix summaries) {
    PriorRuns runs;
    runs.Parameters = Matrix(0, 1);
    for (std::size_t r = 0; r < summaries.Rows; ++r) {
        runs.Parameters.AppendRow(std::vector<double>{static_cast<double>(r)});
        runs.Points.push_back(static_cast<std::int64_t>(r + 1));
        runs.Seeds.push_back(100 + r);
    }
    runs.Summaries = std::move(summaries);
    return runs;
}

std::string KeyOf(const std::function<void()> &f) {
    try {
        f();
    } catch (const CalibrationError &e) { return e.Key(); }
    return "";
}

}  // namespace

TEST(AbcDistance, ScalesMakeDistancesFreeOfUnits) {
    const Matrix metres = Rows({{1, 10}, {2, 30}, {4, 20}, {8, 50}, {3, 40}});
    Matrix millimetres = metres;
    for (std::size_t r = 0; r < millimetres.Rows; ++r) millimetres(r, 0) *= 1000;
    const auto a = CandidatesOf(RunsOf(metres), std::vector<double>{3, 25}, false);
    const auto b = CandidatesOf(RunsOf(millimetres), std::vector<double>{3000, 25}, false);
    for (std::size_t i = 0; i < a.Distances.size(); ++i) EXPECT_NEAR(a.Distances[i], b.Distances[i], 1e-12);
    // Column 0 has median 3 and absolute deviations 2 1 1 5 0: MAD 1, times R's 1.4826.
    EXPECT_EQ(a.Scales[0].Rule, ScaleRule::Mad);
    EXPECT_DOUBLE_EQ(a.Scales[0].Scale, MadToSd);
    EXPECT_DOUBLE_EQ(a.Distances[3], std::hypot(5 / MadToSd, 25 / (10 * MadToSd)));
}

TEST(AbcDistance, SummaryWithoutMadIsScaledByMeanDeviationOrLeftOut) {
    // Column 0: most runs give 0 (MAD 0) but one differs; column 1 never changes.
    const Matrix summaries = Rows({{0, 7, 1}, {0, 7, 2}, {0, 7, 3}, {4, 7, 4}, {0, 7, 5}});
    const auto c = CandidatesOf(RunsOf(summaries), std::vector<double>{0, 9, 3}, false);
    EXPECT_EQ(c.Scales[0].Rule, ScaleRule::MeanDeviation);
    EXPECT_DOUBLE_EQ(c.Scales[0].Scale, MadToSd * 4 / 5);
    EXPECT_EQ(c.Scales[1].Rule, ScaleRule::Constant);
    // The constant column adds nothing: the distances are those of the other two.
    const Matrix without = Rows({{0, 1}, {0, 2}, {0, 3}, {4, 4}, {0, 5}});
    const auto w = CandidatesOf(RunsOf(without), std::vector<double>{0, 3}, false);
    for (std::size_t i = 0; i < c.Distances.size(); ++i) {
        EXPECT_TRUE(std::isfinite(c.Distances[i]));
        EXPECT_DOUBLE_EQ(c.Distances[i], w.Distances[i]);
    }
}

TEST(AbcDistance, FaultedRunsAreLeftOutOfScalesAndCandidatesAndCounted) {
    const Matrix summaries = Rows({{1}, {Missing}, {2}, {3}, {1000}, {Missing}});
    const auto c = CandidatesOf(RunsOf(summaries), std::vector<double>{2}, false);
    EXPECT_EQ(c.FaultedRuns, 2u);
    ASSERT_EQ(c.Ids.size(), 4u);
    EXPECT_EQ(c.Ids[1].Row, 2u);
    EXPECT_EQ(c.Ids[1].Seed, 102u);
    // Median of 1 2 3 1000 is 2.5; deviations 1.5 0.5 0.5 997.5: MAD 1.
    EXPECT_DOUBLE_EQ(c.Scales[0].Scale, MadToSd);
}

TEST(AbcDistance, ReplicatesOfAPointAreAveraged) {
    PriorRuns runs = RunsOf(Rows({{1}, {3}, {10}, {Missing}, {Missing}, {5}}));
    runs.Points = {1, 1, 2, 2, 3, 4};
    const auto one = CandidatesOf(runs, std::vector<double>{0}, false);
    const auto c = CandidatesOf(runs, std::vector<double>{0}, true);
    ASSERT_EQ(c.Ids.size(), 3u);  // point 3 faulted in its only run
    EXPECT_EQ(c.FaultedRuns, 2u);
    const double scale = c.Scales[0].Scale;
    EXPECT_DOUBLE_EQ(c.Distances[0], (1 + 3) / scale / 2);
    EXPECT_EQ(c.Ids[0].Runs, 2u);
    EXPECT_DOUBLE_EQ(c.Distances[1], one.Distances[2]);
    EXPECT_EQ(c.Ids[1].Runs, 1u);
    EXPECT_EQ(c.Ids[2].Point, 4);
    EXPECT_DOUBLE_EQ(c.Deviations(0, 0), 2 / scale);
}

TEST(AbcDistance, MismatchedOrMissingObservationsAreRefused) {
    const PriorRuns runs = RunsOf(Rows({{1, 2}, {3, 4}}));
    EXPECT_EQ(KeyOf([&] { CandidatesOf(runs, std::vector<double>{1}, false); }), "calibration.observed_count");
    EXPECT_EQ(KeyOf([&] {
                  CandidatesOf(runs, std::vector<double>{1, Missing}, false);
              }),
              "calibration.observed_missing");
    PriorRuns short_ = runs;
    short_.Seeds.pop_back();
    EXPECT_EQ(KeyOf([&] { CandidatesOf(short_, std::vector<double>{1, 2}, false); }), "calibration.run_count");
    const std::vector<SummaryScale> scales(2);
    EXPECT_EQ(KeyOf([&] {
                  DistanceOf(std::vector<double>{1}, std::vector<double>{1, 2}, scales);
              }),
              "calibration.summary_count");
}
