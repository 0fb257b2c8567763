// The run's initial files, as its settings give them: for each, the grid it fills, its
// path and mode settings, and whether the run reads it. Every part of the program that
// reads, checks, records or places these files walks this list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AsciiGrid.h"
#include "InitialGrid.h"
#include "Plot.h"
#include "Settings.h"

namespace glebix {

struct InitialSource {
    InitialGrid grid;
    std::string_view role;         // "environment", "distribution": as the manifest's inputs name it
    std::string_view modeSetting;  // the setting of its mode
    std::int32_t mode;
    std::string_view pathSetting;  // the setting of its path
    std::string path;
    bool read;  // its mode is the one that reads the file
    // Reads the file's bytes into a plot (InitialFiles.h); `path` names it in faults.
    std::optional<GridPlacement> (*readText)(std::string_view text, const std::string &path, TPlot &plot);
};

// The initial files (the habitat mask last), in the state file's order, then the
// soil maps.
std::vector<InitialSource> InitialSources(const InitialSettings &in);
// Those of them the run reads.
std::vector<InitialSource> ReadInitialSources(const InitialSettings &in);

// The setting that holds the path of the initial file of `role`; empty for another role.
std::string_view InitialPathSetting(std::string_view role);
// The setting that holds the path of the initial file of `grid`.
std::string_view InitialPathSetting(InitialGrid grid);

}  // namespace glebix
