// Per-cell values of CompactionC and DecompactionD. Soil texture varies across a field:
// a grid of one value per cell may replace the run's one number of either setting. The
// values are read at set-up (SoilMapFiles.h), kept with the plot and in its saved state,
// and fixed for the run; an empty map leaves the number in use.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace glebix {

struct SoilMaps {
    // Cell by cell in the plot's order (row i, then column j fastest); empty: none.
    std::vector<double> CompactionC;
    std::vector<double> DecompactionD;
    bool Any() const { return !CompactionC.empty() || !DecompactionD.empty(); }
    bool operator==(const SoilMaps &) const = default;
};

// The value of a map at `cell`, or the run's number when the map is empty.
inline double CellValue(const std::vector<double> &map, double number, std::size_t cell) {
    return map.empty() ? number : map[cell];
}

// The setting that names the map of the setting `name` ("CompactionC" ->
// "CompactionCMapPath"); empty for a setting that has none.
std::string_view SoilMapSetting(std::string_view name);
// Whether `name` is the setting of a map (CompactionCMapPath, ...).
bool IsSoilMapSetting(std::string_view name);
// The settings that have a map, in the registry's order.
const std::vector<std::string_view> &SettingsWithMaps();

}  // namespace glebix
