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

// What the grids hold in cells that are no habitat, when the run has a mask (Habitat.h):
// counts this value, soil shares NaN.
inline constexpr std::int32_t CountNoData = -9999;

// `layer` (one of the above) with `noData` in every cell of `plot` that is no habitat;
// as it is without a mask.
template <typename Value>
void FillNonHabitat(const TPlot &plot, std::vector<Value> &layer, Value noData) {
    if (plot.Habitat.Size() == 0) return;
    for (int line = 0; line < plot.Height; ++line)
        for (int column = 0; column < plot.Width; ++column)
            if (!plot.Habitat[column][plot.Height - 1 - line])
                layer[static_cast<std::size_t>(line) * plot.Width + column] = noData;
}

// The cells each initial file names, line by line from the top: 1 where the file names
// the cell, 0 where it leaves it unnamed (a NODATA cell); empty for a grid that the run
// does not read from a file, or whose file cannot be read again (a resumed run's).
struct NamedCells {
    std::vector<std::uint8_t> Environment, Distribution;
};
NamedCells NamedByFiles(const Simul &simul);

// The run's mask of named cells: those of the environment file, where the soil is
// known; without one, those of the distribution file; every cell without initial files.
std::vector<std::uint8_t> NamedLayer(const NamedCells &named, std::size_t cells);

}  // namespace glebix::gis
