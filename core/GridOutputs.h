// The final grids of a run as ESRI ASCII grids: the texts, and the two files written
// into a folder, for the batch tool's --asc and for the language bindings alike.
#pragma once

#include <string>
#include <vector>

#include "AsciiGrid.h"
#include "Georeference.h"
#include "Plot.h"

namespace glebix {
class Simul;
}

namespace glebix::core {

class StagedFiles;

// A grid of 50 x 50 cells with cell size 1, lower-left corner at (0, 0): the first
// line is the map's top line (column index 50), and along a line the row index runs
// from 1 to 50, so the grid looks like the map.
inline constexpr const char *DensityGridName = "density.asc";
inline constexpr const char *CompactedGridName = "compacted.asc";
// The value of the cells off the habitat in both grids of a run with a habitat mask,
// which their header's NODATA_value then gives; a run without a mask has no such line.
inline constexpr int AscNoData = -9999;
// A run whose initial file was a grid passes on where that grid lay.
std::string DensityAsc(const TPlot &plot, const GridPlacement &placement = {});
std::string CompactedAsc(const TPlot &plot, const GridPlacement &placement = {});

// Stages both grids of the run's present plot in `folder`, placed `where` the run's
// description puts its initial grid (the local grid: at (0, 0)), with a ".prj" beside
// each when that grid has a CRS.
void StageFinalGrids(const Simul &simul, const gis::Georeference &where, const std::string &folder, StagedFiles &files);
// The same, put in place at once: the folder created when missing, and a path that
// holds something other than a plain file refused. Returns the files' paths.
std::vector<std::string> WriteFinalGrids(const Simul &simul, const gis::Georeference &where, const std::string &folder);

}  // namespace glebix::core
