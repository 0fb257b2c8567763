#include "RunOutputs.h"

#include <cerrno>
#include <charconv>
#include <cmath>

#include "Conversions.h"
#include "Errors.h"
#include "Simul.h"
#include "StudyTable.h"

namespace glebix::core {

// ---- Trace -------------------------------------------------------------------

std::string TraceHeader(CountColumns counts) { return StepColumns(counts) + "\n"; }

std::string TraceRow(std::int32_t step, const Simul &simul, CountColumns counts) {
    std::string row;
    AppendStepValues(row, step, RecordStep(simul), counts);
    row += '\n';
    return row;
}

// ---- Summary -----------------------------------------------------------------

std::string SummaryCsv(const std::vector<StepSeries> &runs) { return SummaryHeader({}, false) + SummaryRows("", runs); }

}  // namespace glebix::core
