// summary.csv: per step, the number of runs that reached it, then the mean and the
// sample standard deviation (NA below two runs) of the plot's total count and of
// MeanCompacted over the runs, taken in run order. With a design there is one block
// of rows per point, each row led by the point and its design values, so that one
// file serves the whole study; the blocks come in point order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glebix::core {

// Per-step values of one run, step 1 first, as far as the run got.
struct StepSeries {
    std::vector<std::int64_t> Totals;   // the plot's total count
    std::vector<double> MeanCompacted;  // MeanCompacted

    // The values of the next step, in both series or, when memory is refused
    // (std::bad_alloc), in neither.
    void Append(std::int64_t total, double meanCompacted);
    // The steps both series hold.
    std::size_t Steps() const { return std::min(Totals.size(), MeanCompacted.size()); }
};

// "step,runs,..." without a design; "point,<design columns>,step,runs,..." with one.
std::string SummaryHeader(const std::vector<std::string> &designColumns, bool hasDesign);

// The rows of one point (every run without a design), each led by `prefix`: empty
// without a design, else StudyRowPrefix's "point,<values>," without replicate and seed.
std::string SummaryRows(std::string_view prefix, const std::vector<StepSeries> &runs);

// "point,<values>," for SummaryRows.
std::string SummaryPrefix(int point, const std::vector<std::string> &designValues);

}  // namespace glebix::core
