// Reading the grids of per-cell soil values (SoilMaps.h): an ESRI ASCII grid of the
// plot's size (a raster of another format reaches the engine as one, RasterInput.h),
// every cell given a finite number, as the setting it replaces must be. A nodata cell
// is refused: a map replaces the number everywhere or nowhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AsciiGrid.h"
#include "InputFile.h"
#include "Plot.h"
#include "Settings.h"

namespace glebix {

// Read the grid in `text` (the file `path`) into plot.Soil's map of CompactionC or of
// DecompactionD. Raise GlebixError for a text that is not a grid, a grid of another
// size, and a cell whose value is missing, not a number or not finite, naming the
// cell (the value's line and column in the file come with the context).
std::optional<GridPlacement> ReadCompactionCMapText(std::string_view text, const std::string &path, TPlot &plot);
std::optional<GridPlacement> ReadDecompactionDMapText(std::string_view text, const std::string &path, TPlot &plot);

// The maps that `in` names, read into plot.Soil (emptied first), each from the bytes
// in `given` when it holds them. A fault names the map's setting and file.
void ReadSoilMaps(const InitialSettings &in, const InputBytes *given, TPlot &plot);

}  // namespace glebix
