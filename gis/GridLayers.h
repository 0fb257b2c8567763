// The plot's grids in raster order, as GIS files hold them: line by line from the
// top line (column index 50), and along a line the row index from 1 to 50, the layout
// of the ESRI ASCII grids (AsciiGrid.h).
#pragma once

#include <cstdint>
#include <vector>

#include "Plot.h"

namespace glebix {
class Simul;
}

namespace glebix::gis {

// The value of every cell, line by line from the top.
std::vector<std::int32_t> DensityLayer(const TPlot &plot);
std::vector<double> CompactedLayer(const TPlot &plot);
std::vector<double> DecompactedLayer(const TPlot &plot);

// 1 for every cell that the run's initial files name, 0 for one they all leave
// unnamed; every cell is named when no initial file is read.
std::vector<std::uint8_t> NamedLayer(const Simul &simul);

}  // namespace glebix::gis
