// The values of one trace row, as the batch tool's trace and table hold them: the
// chart cell's count and shares, the plot's means as the chart shows them, and the
// plot's total count.
#pragma once

#include <Rcpp.h>

#include <cstdint>
#include <vector>

#include "Simul.h"

namespace glebix::r {

struct TraceValues {
    std::int32_t Step;
    std::int32_t CellDensity;
    double CellCompacted;
    double CellDecompacted;
    double MeanDensity;
    double MeanCompacted;
    std::int64_t TotalDensity;
};

// The row of the plot as it stands after step `step` (0: right after set-up).
TraceValues TakeTraceValues(std::int32_t step, const Simul &simul);

// Names of the trace's columns, in order.
extern const char *const TraceColumns[7];

// The rows' columns appended to `out` under TraceColumns' names; the total is a
// double (it may exceed R's integers).
void AppendTraceColumns(const std::vector<TraceValues> &rows, Rcpp::List &out, Rcpp::CharacterVector &names);

}  // namespace glebix::r
