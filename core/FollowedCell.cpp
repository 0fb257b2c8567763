#include "FollowedCell.h"

#include "Conversions.h"
#include "Errors.h"
#include "Georeference.h"
#include "Messages.h"
#include "SettingsTable.h"

namespace glebix::core {

std::optional<MapPoint> ParseMapPoint(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const std::optional<double> x = ParseRealToken(text.substr(0, comma));
    const std::optional<double> y = ParseRealToken(text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return MapPoint{*x, *y};
}

std::optional<std::string> FollowMapPoint(const char *option, std::string_view text, TSettings &settings,
                                          InputBytes &store) {
    const std::optional<MapPoint> point = ParseMapPoint(text);
    if (!point) return Message("option.bad_point", {option, std::string(text)});
    if (settings.Run.ChartCellXGiven || settings.Run.ChartCellYGiven)
        return Message("option.follow_and_chart_cell", {option, "ChartCellX/ChartCellY"});
    gis::Georeference where;
    try {
        where = gis::InitialGeoreference(settings, store);
    } catch (const GlebixError &) { return std::nullopt; }
    const std::optional<CellIndex> cell = gis::CellAtPoint(where, point->X, point->Y);
    if (!cell) {
        const gis::Extent e = gis::PlotExtent(where);
        return Message("option.follow_outside",
                       {option, FormatShortest(point->X), FormatShortest(point->Y), FormatShortest(e.West),
                        FormatShortest(e.East), FormatShortest(e.South), FormatShortest(e.North)});
    }
    for (const auto &[name, index] : {std::pair{"ChartCellX", cell->I}, std::pair{"ChartCellY", cell->J}})
        if (auto problem = ApplySetting(name, std::to_string(index), settings)) return Labelled(option, *problem);
    return std::nullopt;
}

}  // namespace glebix::core
