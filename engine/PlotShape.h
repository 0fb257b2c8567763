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

// The shape once a grid input of size `grid` (the file `path`) is read: the grid's
// size when the settings hold the default one and `fixedSize` is off, else `shape` if
// the grid agrees. Raises GlebixError naming the file and the settings otherwise; with
// `fixedSize` (the windows, which show 50 x 50 plots only) the message says where
// other sizes run.
PlotShape ShapeWithGrid(PlotShape shape, const PlotSettings &settings, GridSize grid, const std::string &path,
                        bool fixedSize);

// The chart cell's index must lie in the plot: raises GlebixError naming the setting.
void CheckChartCell(const char *setting, const std::string &text, int side);

}  // namespace glebix
