// A run's metrics recorded step by step as it runs agree with those computed from its
// rows of a study table; the window of a time mean and the names that are metrics.
#include <gtest/gtest.h>

#include "Conversions.h"
#include "RunMetrics.h"
#include "StudyTable.h"

using namespace glebix::analysis;
using glebix::core::StepRecord;

namespace {

StepRecord Record(std::int64_t total, double compacted, std::int64_t occupied) {
    StepRecord r;
    r.TotalDensity = total;
    r.MeanCompacted = compacted;
    r.OccupiedCells = occupied;
    r.Cells = 100;
    return r;
}

}  // namespace

TEST(RunMetricsRecorder, AgreesWithTheTableOfTheSameSteps) {
    const std::vector<std::string> names = {"final_total",
                                            "extinct",
                                            "extinction_step",
                                            "final_compacted",
                                            "time_mean_total_density",
                                            "time_mean_total_density@2:4",
                                            "time_mean_mean_compacted@0:0"};
    RunMetricsRecorder recorder(names);
    std::string table = "point,replicate,step,total_density,mean_compacted\n";
    const std::int64_t totals[] = {5, 9, 0, 4, 8, 6};
    for (int step = 0; step < 6; ++step) {
        const double compacted = 30 + step * 0.5;
        recorder.Add(step, Record(totals[step], compacted, step));
        table += "1,1," + std::to_string(step) + "," + std::to_string(totals[step]) + "," +
                 glebix::FormatShortest(compacted) + "\n";
    }
    const RunMetricsTable fromTable = RunMetricsOf(table, "t.csv", {}, names);
    ASSERT_TRUE(fromTable.Problems.empty()) << fromTable.Problems.front();
    EXPECT_EQ(fromTable.Text.substr(fromTable.Text.find('\n') + 1), "1,1," + recorder.Fields(true) + "\n");
    EXPECT_EQ(recorder.Fields(true), "6,1,2,32.5,5.333333333333333,4,30");
    // A run that did not complete has no metric.
    EXPECT_EQ(recorder.Fields(false), "NA,NA,NA,NA,NA,NA,NA");
}

TEST(RunMetricsRecorder, OccupiedShareAndWindowBeyondTheRun) {
    RunMetricsRecorder recorder({"occupied_share", "time_mean_occupied_share@1:2", "time_mean_total_density@1:9"});
    recorder.Add(0, Record(10, 0, 3));
    recorder.Add(1, Record(10, 0, 7));
    recorder.Add(2, Record(10, 0, 25));
    // The last step's share; the window's mean; a window the run never reached.
    EXPECT_EQ(recorder.Fields(true), "0.25,0.16,NA");
}

TEST(RunMetricsRecorder, NamesThatAreMetrics) {
    for (const char *good : {"final_total", "occupied_share", "time_mean_emigrants", "time_mean_mean_density@0:300",
                             "time_mean_total_density@5:5"})
        EXPECT_TRUE(IsRecordedMetric(good)) << good;
    for (const char *bad : {"mean_density", "time_mean_", "time_mean_nothing", "time_mean_total_density@5:4",
                            "time_mean_total_density@5", "time_mean_total_density@a:4", "time_mean_@1:2"})
        EXPECT_FALSE(IsRecordedMetric(bad)) << bad;
    // A table's own columns may be averaged; the occupied share needs the plot.
    EXPECT_TRUE(IsRunMetric("time_mean_my_column@1:2"));
    EXPECT_FALSE(IsRecordedMetric("time_mean_my_column@1:2"));
}
