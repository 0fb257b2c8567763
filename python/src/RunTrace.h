// The per-step values of a run, kept column by column: the chart cell's count and
// shares, the plot means as the chart shows them, and the plot's total count. Row 0
// is the state right after set-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "StudyTable.h"

namespace glebix::python {

struct TraceColumns {
    std::vector<std::int64_t> Step;
    std::vector<std::int64_t> CellDensity;
    std::vector<double> CellCompacted;
    std::vector<double> CellDecompacted;
    std::vector<double> MeanDensity;
    std::vector<double> MeanCompacted;
    std::vector<std::int64_t> TotalDensity;
    std::vector<std::int64_t> Emigrants;
    std::vector<std::int64_t> Lost;
    std::vector<std::int64_t> OccupiedCells;  // for the run metrics of a study's table
    std::int64_t Cells = 0;                   // of the plot
    bool Bounded = false;                     // the run's plot is bounded: its trace shows the emigrants
    bool Masked = false;                      // the run has a habitat mask: its trace shows the lost
    std::string StoppedBy;                    // the rule that ended a study's run early, if one did

    std::size_t Size() const { return Step.size(); }
    void Clear();
    void Reserve(std::size_t rows);

    // Calls each(column) for every per-step column.
    template <typename Each>
    void EachColumn(Each each) {
        each(Step), each(CellDensity), each(CellCompacted), each(CellDecompacted), each(MeanDensity);
        each(MeanCompacted), each(TotalDensity), each(Emigrants), each(Lost), each(OccupiedCells);
    }
};

// Column names, in the order of the batch tool's trace; a bounded plot's trace has
// core::EmigrantsColumnName after them, and one with a habitat mask
// core::LostColumnName last.
inline constexpr const auto &TraceColumnNames = core::StepColumnNames;

// Appends `record` as the row of the state after step `step`: the values of the batch
// tool's trace and study table.
void AppendTraceRow(TraceColumns &trace, std::int64_t step, const core::StepRecord &record);

}  // namespace glebix::python
