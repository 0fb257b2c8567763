// What a batch run writes besides the result file as text: the per-step trace and the
// summary across replicates (the pictures are in MapPicture.h); FileIo.h writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GridOutputs.h"
#include "Outputs.h"
#include "StudySummary.h"
#include "StudyTable.h"

namespace glebix {
class Simul;
}

namespace glebix::core {

// ---- Trace -------------------------------------------------------------------
// Header line of the trace CSV (with its line end).
std::string TraceHeader(CountColumns counts = {});
// One trace row after step `step`: the chart cell's count and shares, MeanDensity,
// MeanCompacted and the plot's total count; reals in shortest round-trip form.
std::string TraceRow(std::int32_t step, const Simul &simul, CountColumns counts = {});

// ---- Summary across replicates -----------------------------------------------
// summary.csv: per step, the number of runs that reached it, then the mean and the
// sample standard deviation (NA below two runs) of the total count and of
// MeanCompacted. Runs are taken in their order, whatever order they ended in.
std::string SummaryCsv(const std::vector<StepSeries> &runs);

}  // namespace glebix::core
