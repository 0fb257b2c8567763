// The plot's size and edges as run set-up takes them from the settings and from a grid
// input, with the messages that refuse them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AsciiGrid.h"
#include "Settings.h"
#include "EngineMessages.h"

namespace glebix {

struct PlotShape {
    int Width = GridSide;   // cells along the row index i
    int Height = GridSide;  // cells along the column index j
    bool Bounded = false;
    bool FromGrid = false;  // the size is a grid input's
};

// Why `text` cannot be a side of the plot (a whole number from 1 to MaxPlotSide).
std::optional<EngineMessage> PlotSideProblem(std::string_view text);
// Whether `text` is an edges' setting ("torus" or "bounded"); the refusal of another.
bool IsEdgesWord(std::string_view text);
EngineMessage EdgesRefusal(std::string_view text);
// Whether the settings make the plot's edges bounded (a refused word makes them not).
bool HasBoundedEdges(const PlotSettings &settings);
// Whether `name` is the setting of the plot's edges.
bool IsEdgesSetting(std::string_view name);

// The shape the settings give. Raises GlebixError naming the setting it refuses.
PlotShape PlotShapeOf(const PlotSettings &settings);
// `settings` as the user left them: a size that an earlier set-up's grid wrote is no
// demand on the next set-up, whose own grid (or the default) sets it again.
PlotSettings WithoutGridSize(PlotSettings settings);

// The shape once a grid input of size `grid` (the file `path`) is read: the grid's
// size, which each side the settings demand (given by name, or another text than the
// default) must agree with, as must the grid `earlier` that gave `shape` (empty when
// none did). Raises GlebixError naming the setting and its value, or the other file,
// and the grid's size otherwise; with `fixedSize` (the windows, which show 50 x 50
// plots only) any other size is refused, and the message says where it runs.
PlotShape ShapeWithGrid(PlotShape shape, const PlotSettings &settings, GridSize grid, const std::string &path,
                        const std::string &earlier, bool fixedSize);

// The chart cell's texts of `run` on a plot of `shape`: left at their default and not
// given, they stand for the plot's centre on any plot but the 50 x 50 one, and are
// replaced by its index; otherwise kept.
void TakeChartCellDefault(RunSettings &run, const PlotShape &shape);

// The chart cell's index must lie in the plot: raises GlebixError naming the setting.
void CheckChartCell(const char *setting, const std::string &text, int side);

}  // namespace glebix
