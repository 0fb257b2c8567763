// The tidy table of a study: one CSV for a whole invocation, one row per step of every
// run, step 0 being the state right after set-up. The rows of one run are contiguous
// and the runs come in order of point, then replicate. Other front ends (the Python
// and R packages) build the same table with these functions, so that a study's table
// is the same byte for byte whichever front end ran it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Plot.h"
#include "Settings.h"

namespace glebix {
class Simul;
}

namespace glebix::core {

// What a run records after a step: the chart cell's count and shares, and the plot's
// means and total, as the cell chart would show them.
struct StepRecord {
    std::int32_t CellDensity = 0;
    double CellCompacted = 0;
    double CellDecompacted = 0;
    double MeanDensity = 0;
    double MeanCompacted = 0;
    std::int64_t TotalDensity = 0;
    std::int64_t Emigrants = 0;      // left a bounded plot in the step's dispersal (0 on a torus)
    std::int64_t Lost = 0;           // landed off the habitat in the step's dispersal (0 without a mask)
    std::int64_t OccupiedCells = 0;  // cells whose count is above 0
    std::int64_t Cells = 0;          // cells of the plot
};

// The record of the engine's present state (after set-up or after a step).
StepRecord RecordStep(const Simul &simul);

// Sum of every cell's count, without wrapping.
std::int64_t TotalCount(const TPlot &plot);
// `v` in decimal, appended to `out`.
void AppendInteger(std::string &out, std::int64_t v);

// "step,cell_density,cell_compacted,cell_decompacted,mean_density,mean_compacted,total_density"
// without a line end: the columns of a step, shared with the trace.
// The counts that may follow those columns, in this order: "emigrants", which tables and
// traces of bounded plots have (those of the torus keep the columns above), then "lost",
// which those of runs with a habitat mask have (Habitat.h).
struct CountColumns {
    bool Emigrants = false;
    bool Lost = false;
    CountColumns(bool emigrants = false, bool lost = false) : Emigrants(emigrants), Lost(lost) {}
};
std::string StepColumns(CountColumns counts = {});
inline constexpr const char *EmigrantsColumnName = "emigrants";
inline constexpr const char *LostColumnName = "lost";
// Whether a study's table has that column: its plots are bounded, or its design varies
// the edges (its torus runs then count 0). A single run's trace has it when bounded.
bool TableCountsEmigrants(bool bounded, const std::vector<std::string> &designColumns);
// Whether a study's table has the lost column: the common settings `in` give a habitat
// mask, or one of its design columns may give some points one.
bool TableCountsLost(const InitialSettings &in, const std::vector<std::string> &designColumns);
// Both, for the runs of `settings` and a design of `designColumns` (none without one).
CountColumns TableCounts(const TSettings &settings, const std::vector<std::string> &designColumns);
// The same names one by one, in that order.
inline constexpr const char *StepColumnNames[] = {
    "step", "cell_density", "cell_compacted", "cell_decompacted", "mean_density", "mean_compacted", "total_density"};
// The values of those columns, reals in shortest round-trip form, without a line end.
void AppendStepValues(std::string &out, std::int32_t step, const StepRecord &record, CountColumns counts = {});

// "point,replicate,seed,<design columns>,<step columns>[,<metric columns>]\n".
std::string StudyTableHeader(const std::vector<std::string> &designColumns, CountColumns counts = {},
                             const std::vector<std::string> &metricColumns = {});

// The value of the step column `column` (one of StepColumnNames but "step", or
// "emigrants", "lost") in `record`, or "occupied_share": the share of the plot's cells whose
// count is above 0. Nothing for another name.
std::optional<double> StepColumnValue(const StepRecord &record, std::string_view column);
inline constexpr const char *OccupiedShareColumn = "occupied_share";

// Which steps of a run a study table keeps (--table-every): every `Every`-th from step
// 0, and the run's last; or the last alone. The default keeps every step.
struct TableSteps {
    std::int32_t Every = 1;
    bool LastOnly = false;
    bool KeepsAll() const { return Every == 1 && !LastOnly; }
};
// "K" (a whole number from 1) or "last"; nothing for another text.
std::optional<TableSteps> ParseTableSteps(std::string_view text);
// Whether the row of `step` is kept, the run's last step being `lastStep` (the step it
// was to reach; a run that ends earlier has its last row added by its writer).
bool KeepsStep(const TableSteps &steps, std::int32_t step, std::int32_t lastStep);
// Appends ",<suffix>" to every line of `rows` (each ended by a line end).
void AppendToRows(std::string &rows, std::string_view suffix);

// "point,replicate,seed,<design values>," : the start of every row of one run. The
// design values are the settings' texts as the point's run uses them.
std::string StudyRowPrefix(int point, int replicate, std::uint32_t seed, const std::vector<std::string> &designValues);

// One row: the run's prefix, then the step's values and a line end.
void AppendStudyRow(std::string &out, std::string_view prefix, std::int32_t step, const StepRecord &record,
                    CountColumns counts = {});

// A CSV field: as it is, or within quotes (doubled inside) when it holds a comma, a
// quote, a line end, blanks at either end, or starts with '#'; a design file written
// with it reads back to the same values.
std::string CsvField(std::string_view text);

}  // namespace glebix::core
