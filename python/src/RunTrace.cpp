#include "RunTrace.h"

#include "RowColumns.h"
#include "StudyTable.h"

namespace glebix::python {

void TraceColumns::Clear() {
    for (auto *v : {&Step, &CellDensity, &TotalDensity, &Emigrants, &Lost, &OccupiedCells}) v->clear();
    for (auto *v : {&CellCompacted, &CellDecompacted, &MeanDensity, &MeanCompacted}) v->clear();
    StoppedBy.clear();
}

void TraceColumns::Reserve(std::size_t rows) {
    for (auto *v : {&Step, &CellDensity, &TotalDensity, &Emigrants, &Lost, &OccupiedCells}) v->reserve(rows);
    for (auto *v : {&CellCompacted, &CellDecompacted, &MeanDensity, &MeanCompacted}) v->reserve(rows);
}

void AppendTraceRow(TraceColumns &trace, std::int64_t step, const core::StepRecord &r) {
    core::MakeRoomForRow(trace.Step, trace.CellDensity, trace.CellCompacted, trace.CellDecompacted, trace.MeanDensity,
                         trace.MeanCompacted, trace.TotalDensity, trace.Emigrants, trace.Lost, trace.OccupiedCells);
    trace.Step.push_back(step);
    trace.CellDensity.push_back(r.CellDensity);
    trace.CellCompacted.push_back(r.CellCompacted);
    trace.CellDecompacted.push_back(r.CellDecompacted);
    trace.MeanDensity.push_back(r.MeanDensity);
    trace.MeanCompacted.push_back(r.MeanCompacted);
    trace.TotalDensity.push_back(r.TotalDensity);
    trace.Emigrants.push_back(r.Emigrants);
    trace.Lost.push_back(r.Lost);
    trace.OccupiedCells.push_back(r.OccupiedCells);
    trace.Cells = r.Cells;
}

}  // namespace glebix::python
