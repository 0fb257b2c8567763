// The metrics of a whole run that studies report, computed from its rows of a study
// table (glebix-batch --table: one row per step of each run, the runs told apart by
// `point` and `replicate`). Each is defined here once, for every front end:
//   final_total             total_density at the run's last step
//   final_compacted         mean_compacted at the run's last step
//   extinct                 1 when total_density reached 0 at some step, else 0
//   extinction_step         the first step at which total_density is 0; the run's
//                           last step + 1 when it never is (it outlived the run)
//   time_mean_<column>      the mean over the run's steps of a step column, e.g.
//                           time_mean_total_density
// A run with a missing value in a column its metric reads has that metric missing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glebix::analysis {

// Whether `name` is one of the metrics above (time_mean_ with any column).
bool IsRunMetric(std::string_view name);

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
