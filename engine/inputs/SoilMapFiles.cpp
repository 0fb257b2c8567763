#include "SoilMapFiles.h"

#include <cmath>
#include <vector>

#include "Conversions.h"
#include "Errors.h"
#include "InitialSources.h"

namespace glebix {

namespace {

// A map's values, cell by cell in the plot's order; every cell must be given.
std::vector<double> ReadMapValues(std::string_view text, const std::string &path, const TPlot &plot,
                                  GridPlacement &placement) {
    if (!IsAsciiGrid(text)) throw GlebixError(MessageKey("engine.soil_map_not_grid"));
    const std::size_t cells = static_cast<std::size_t>(plot.Cells());
    std::vector<double> values(cells, 0.0);
    std::vector<bool> given(cells, false);
    placement = ReadAsciiGrid(text, path,
                              [&](int i, int j, std::string_view token) {
                                  const auto value = ParseRealToken(token);
                                  if (!value || !std::isfinite(*value))
                                      throw GlebixError(EngineMessage("engine.soil_map_value",
                                                                      {std::to_string(i + 1), std::to_string(j + 1)}));
                                  const std::size_t cell = static_cast<std::size_t>(i) * plot.Height + j;
                                  values[cell] = *value;
                                  given[cell] = true;
                              },
                              {plot.Width, plot.Height});
    for (std::size_t cell = 0; cell < cells; ++cell)
        if (!given[cell])
            throw GlebixError(EngineMessage("engine.soil_map_nodata", {std::to_string(cell / plot.Height + 1),
                                                                       std::to_string(cell % plot.Height + 1)}));
    return values;
}

}  // namespace

std::optional<GridPlacement> ReadCompactionCMapText(std::string_view text, const std::string &path, TPlot &plot) {
    GridPlacement placement;
    plot.Soil.CompactionC = ReadMapValues(text, path, plot, placement);
    return placement;
}

std::optional<GridPlacement> ReadDecompactionDMapText(std::string_view text, const std::string &path, TPlot &plot) {
    GridPlacement placement;
    plot.Soil.DecompactionD = ReadMapValues(text, path, plot, placement);
    return placement;
}

void ReadSoilMaps(const InitialSettings &in, const InputBytes *given, TPlot &plot) {
    plot.Soil = {};
    for (const InitialSource &source : ReadInitialSources(in)) {
        if (!IsSoilMap(source.grid)) continue;
        try {
            source.readText(*InputFileBytes(source.path, given), source.path, plot);
        } catch (GlebixError &e) {
            e.Context().Setting = source.pathSetting;
            e.Context().Path = source.path;
            throw;
        }
    }
}

}  // namespace glebix
