#include "SoilMaps.h"

#include "SettingsRegistry.h"

namespace glebix {

namespace {

// The suffix of a map's setting after the name of the setting it replaces.
constexpr std::string_view MapSuffix = "MapPath";

}  // namespace

const std::vector<std::string_view> &SettingsWithMaps() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> out;
        InitialSettings in;
        VisitSoilMapSettings(in, [&out](const SettingRow &row, const std::string &) {
            out.push_back(row.name.substr(0, row.name.size() - MapSuffix.size()));
        });
        return out;
    }();
    return names;
}

bool IsSoilMapSetting(std::string_view name) {
    bool found = false;
    InitialSettings in;
    VisitSoilMapSettings(in, [&](const SettingRow &row, const std::string &) { found = found || row.name == name; });
    return found;
}

std::string_view SoilMapSetting(std::string_view name) {
    std::string_view found;
    InitialSettings in;
    VisitSoilMapSettings(in, [&](const SettingRow &row, const std::string &) {
        if (row.name.size() == name.size() + MapSuffix.size() && row.name.starts_with(name) &&
            row.name.ends_with(MapSuffix))
            found = row.name;
    });
    return found;
}

}  // namespace glebix
