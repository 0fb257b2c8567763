// The grids a run may start from, each read from a file (InitialSources.h lists them
// with their settings and readers).
#pragma once

namespace glebix {

// The plot's soil and counts, its habitat mask, or a map of per-cell soil values
// (SoilMaps.h).
enum class InitialGrid { Environment, Distribution, Habitat, CompactionCMap, DecompactionDMap };

// A map of soil values: it has no mode, and is read whenever its path is given; it
// neither sets the plot's size nor places the plot, but must lie on it.
inline bool IsSoilMap(InitialGrid grid) {
    return grid == InitialGrid::CompactionCMap || grid == InitialGrid::DecompactionDMap;
}

}  // namespace glebix
