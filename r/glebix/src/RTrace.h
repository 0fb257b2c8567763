// The trace's rows on the R side: the batch tool's record of a step (the chart cell's
// count and shares, the plot's means as the chart shows them, and the plot's total
// count) with its step number.
#pragma once

#include <Rcpp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Simul.h"
#include "StepTrace.h"
#include "StudyTable.h"

namespace glebix::r {

using TraceValues = core::TracedStep;

// The rows' columns appended to `out`, named as the batch tool's trace names them; the
// total is a double (it may exceed R's integers). The counts of `counts` follow, in
// the batch tool's order (see core::TableCounts).
void AppendTraceColumns(const std::vector<TraceValues> &rows, Rcpp::List &out, Rcpp::CharacterVector &names,
                        core::CountColumns counts);

}  // namespace glebix::r
