// The metrics of a whole run that studies report, computed from its rows of a study
// table (glebix-batch --table: one row per step of each run, the runs told apart by
// `point` and `replicate`). Each is defined here once, for every front end:
//   final_total             total_density at the run's last step
//   final_compacted         mean_compacted at the run's last step
//   extinct                 1 when total_density reached 0 at some step, else 0
//   extinction_step         the first step at which total_density is 0; the run's
//                           last step + 1 when it never is (it outlived the run)
//   occupied_share          the share of the plot's cells whose count is above 0 at
//                           the run's last step (the plot's own: a study table holds
//                           it only as a column that --table-metric wrote)
//   time_mean_<column>      the mean over the run's steps of a step column, e.g.
//                           time_mean_total_density
//   time_mean_<column>@A:B  the same over steps A to B (both included, A <= B);
//                           missing when the run did not reach step B
// A run with a missing value in a column its metric reads has that metric missing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "StudyTable.h"

namespace glebix::analysis {

// Whether `name` is one of the metrics above (time_mean_ with any column).
bool IsRunMetric(std::string_view name);

// The metrics `names` of one run, fed its steps as it makes them (the batch tool's and
// the bindings' runs), written as the columns --table-metric adds to each of its rows.
class RunMetricsRecorder {
public:
    // `names` must be run metrics whose columns a step record holds (StepColumnValue).
    explicit RunMetricsRecorder(std::vector<std::string> names);
    void Add(std::int64_t step, const core::StepRecord &record);
    // The values, in the names' order; all missing when the run did not complete.
    std::vector<double> Values(bool completed) const;
    // The same as CSV fields, "NA" for a missing one, without a line end.
    std::string Fields(bool completed) const;

private:
    std::vector<std::string> names_;
    std::vector<std::string> columns_;
    std::vector<std::int64_t> steps_;
    std::vector<std::vector<double>> values_;  // per metric, per step
};

// Whether a run's step record gives the metric `name` (a run metric whose column is a
// step column or the occupied share): what --table-metric accepts.
bool IsRecordedMetric(std::string_view name);

struct RunMetricsTable {
    // "point[,replicate][,status],<other columns kept>,<metrics>\n" then one row per
    // run, in the table's order: a table the analysis reads.
    std::string Text;
    std::vector<std::string> Problems;  // naming file, line and column; no text then
};

// The metrics `metrics` of every run of the study table `text` read from `source`,
// with the columns `kept` (the factors) copied from each run's first row.
RunMetricsTable RunMetricsOf(std::string_view text, std::string_view source, const std::vector<std::string> &kept,
                             const std::vector<std::string> &metrics);

}  // namespace glebix::analysis
