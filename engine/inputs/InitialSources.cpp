#include "InitialSources.h"

#include <algorithm>

#include "Habitat.h"
#include "InitialFiles.h"
#include "SettingsRegistry.h"
#include "SoilMapFiles.h"

namespace glebix {

std::vector<InitialSource> InitialSources(const InitialSettings &in) {
    std::vector<InitialSource> out;
    VisitInitialFileSettings(
        in, [&out](InitialGrid grid, std::string_view role, std::string_view modeSetting, std::int32_t mode,
                   std::int32_t fileMode, std::string_view pathSetting, const std::string &path) {
            out.push_back({grid, role, modeSetting, mode, pathSetting, path, mode == fileMode,
                           grid == InitialGrid::Environment    ? ReadEnvironmentText
                           : grid == InitialGrid::Distribution ? ReadDistributionText
                                                               : ReadHabitatText});
        });
    VisitSoilMapSettings(in, [&out](const SettingRow &row, const std::string &path) {
        const bool c = row.name == "CompactionCMapPath";
        out.push_back({c ? InitialGrid::CompactionCMap : InitialGrid::DecompactionDMap,
                       c ? "compaction_c_map" : "decompaction_d_map",
                       {},
                       0,
                       row.name,
                       path,
                       !path.empty(),
                       c ? ReadCompactionCMapText : ReadDecompactionDMapText});
    });
    return out;
}

std::vector<InitialSource> ReadInitialSources(const InitialSettings &in) {
    std::vector<InitialSource> out = InitialSources(in);
    out.erase(std::remove_if(out.begin(), out.end(), [](const InitialSource &s) { return !s.read; }), out.end());
    return out;
}

std::string_view InitialPathSetting(std::string_view role) {
    for (const InitialSource &s : InitialSources(InitialSettings{}))
        if (s.role == role) return s.pathSetting;
    return {};
}

std::string_view InitialPathSetting(InitialGrid grid) {
    for (const InitialSource &s : InitialSources(InitialSettings{}))
        if (s.grid == grid) return s.pathSetting;
    return {};
}

}  // namespace glebix
