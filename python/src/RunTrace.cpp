#include "RunTrace.h"

#include "RowColumns.h"
#include "StudyTable.h"

namespace glebix::python {

void TraceColumns::Clear() {
    EachColumn([](auto &column) { column.clear(); });
    StoppedBy.clear();
}

void TraceColumns::Reserve(std::size_t rows) {
    EachColumn([rows](auto &column) { column.reserve(rows); });
}

void AppendTraceRow(TraceColumns &trace, std::int64_t step, const core::StepRecord &r) {
    trace.EachColumn([](auto &column) { core::MakeRoomForOne(column); });
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
