// Observed grids of a calibration: a raster (any the runs' initial files may be) of one
// field of the plot at one step, given as `[FIELD@]STEP:FILE` (FIELD density, the
// default, or compacted). Each is compared with the runs' grid at that step through the
// summaries of GridSummaries.h, or cell by cell; the runs' grids are captured by an
// observer of the run session while it runs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "GridSummaries.h"
#include "RunSession.h"

namespace glebix::analysis {

enum class GridField { Density, Compacted };
// "density" (individuals per cell), "compacted" (the compacted share of the cell's soil).
std::string_view GridFieldName(GridField field);

// How an observed grid enters the summaries: its four summaries, or each cell.
enum class GridCompare { Summaries, Cells };
inline constexpr GridCompare DefaultGridCompare = GridCompare::Summaries;
std::optional<GridCompare> GridCompareNamed(std::string_view name);  // "summaries", "cells"
std::string_view GridCompareName(GridCompare compare);

struct GridObservation {
    std::string Text;  // as given
    GridField Field = GridField::Density;
    std::int32_t Step = 0;
    std::string Path;  // the raster, with its band or variable after ':' if chosen
    calibration::ValueGrid Values;
};

struct GridObservations {
    std::vector<GridObservation> Grids;
    std::vector<std::string> Problems;  // each naming the grid; in the user's language
};

// Reads every `texts` grid for runs of `steps` steps on a plot of `columns` x `rows`
// cells. Refused, each named: a text of another form, an unknown field, a step outside
// 0 to `steps`, a file that cannot be read as a raster, a grid of another size than the
// plot (both sizes said), a cell without a value or not a number.
GridObservations ReadGridObservations(const std::vector<std::string> &texts, std::int32_t steps, int columns, int rows);

// The entries an observed grid adds to the summary vector, in this order: its summaries
// (in GridSummaries' order), or its cells row by row from the south-west.
std::vector<double> GridEntries(const calibration::ValueGrid &grid, GridCompare compare);
// Each entry's name, as the figure labels it: "density@5 moran", "compacted@0 cell 3,7".
std::vector<std::string> GridEntryNames(const GridObservation &grid, GridCompare compare);

// Keeps a run's grids at the steps the observations name, as the run passes them.
class GridCapture : public core::RunObserver {
public:
    explicit GridCapture(const std::vector<GridObservation> &grids);
    void SetUp(const core::RunSession &session) override { Take(session); }
    void Stepped(const core::RunSession &session) override { Take(session); }
    // The grid kept of `field` at `step`; null when the run did not reach it.
    const calibration::ValueGrid *Grid(GridField field, std::int32_t step) const;

private:
    void Take(const core::RunSession &session);
    std::map<std::pair<std::int32_t, GridField>, calibration::ValueGrid> kept_;
};

// The run's entries for every observed grid, in their order; empty when one is missing.
std::vector<double> CapturedEntries(const GridCapture &capture, const std::vector<GridObservation> &grids,
                                    GridCompare compare);

}  // namespace glebix::analysis
