// The followed cell (the trace's and the table's cell_* columns) named by a point in
// the coordinates of the run's initial grid, rather than by ChartCellX and ChartCellY.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "InputFile.h"
#include "Settings.h"

namespace glebix::core {

struct MapPoint {
    double X = 0;
    double Y = 0;
};

// "X,Y": two numbers with a point for decimals; none for any other text.
std::optional<MapPoint> ParseMapPoint(std::string_view text);

// Sets the chart cell of `settings` to the cell of their initial grid (the local grid
// without one) that holds the point `text` (gis::CellAtPoint), the grid's files read
// into `store`. Returns the refusal, naming `option`: a text that is no point, a point
// outside the plot (with the plot's extent), a chart cell the settings already name.
// An initial file that cannot be read is left for the run to tell.
std::optional<std::string> FollowMapPoint(const char *option, std::string_view text, TSettings &settings,
                                          InputBytes &store);

}  // namespace glebix::core
