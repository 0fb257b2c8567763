// The habitat mask: cells where the fauna cannot live (roads, buildings, field
// margins). Such a cell holds no individuals and its soil never changes; a disperser
// that lands on it is lost, as one that leaves a bounded plot is gone. The mask comes
// from a grid (HabitatFilePath: 1 habitat, 0 or nodata not) and, with
// EnvNoDataNonHabitat, from the cells the environment file leaves unnamed. Without
// either, the plot holds no mask and the model is the one without this extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "AsciiGrid.h"
#include "InputFile.h"
#include "Plot.h"
#include "Settings.h"

namespace glebix {

// Whether a run with these settings holds a mask: a habitat file, or the environment
// file's unnamed cells taken as no habitat. Its records then count the lost
// individuals, and its grids leave the cells that are no habitat without a value.
bool UsesHabitatMask(const InitialSettings &in);

// Whether a design column `name` may give some points a mask and others none, the
// common settings being `in`: the habitat's own settings, and the environment's mode
// when unnamed cells are no habitat.
bool MaskMayVaryWith(const InitialSettings &in, std::string_view name);

// Reads a habitat grid (an ESRI ASCII grid, or a raster read as one) into plot.Habitat,
// made anew at the plot's size: 1 where the grid holds 1, 0 where it holds 0 or nodata.
// Raises GlebixError for a file that is not a grid, a grid of another size, and any
// other value (the reader adds the file, its line and the grid's cell). Returns where
// the grid lies.
std::optional<GridPlacement> ReadHabitatText(std::string_view text, const std::string &path, TPlot &plot);

// Whether the cell at `cell` (in storage order) is habitat: every cell without a mask.
inline bool IsHabitat(const TPlot &plot, std::size_t cell) {
    return plot.Habitat.Size() == 0 || plot.Habitat.Data()[cell] != 0;
}

// The set-up's part, once the initial files are read and every draw made: the mask
// from the habitat file (read from `given` when it holds it) and, when the settings say
// so, the environment file's unnamed cells taken off it, which keep the soil of an
// unnamed cell; no mask when the settings use none. No individual is left off the
// habitat. Returns where the habitat grid lies (none without a habitat file). Faults
// name the setting and the file.
std::optional<GridPlacement> SetUpHabitat(const InitialSettings &in, const InputBytes *given, TPlot &plot);

// After a dispersal pass: the individuals on cells that are no habitat are taken off
// the plot; returns how many there were (0 without a mask).
std::int64_t TakeOffNonHabitat(TPlot &plot);

}  // namespace glebix
