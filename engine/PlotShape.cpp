#include "PlotShape.h"

#include "Conversions.h"
#include "Errors.h"
#include "SettingsRegistry.h"

namespace glebix {

namespace {

int TakeSide(const char *setting, const std::string &text) {
    if (auto problem = PlotSideProblem(text)) throw GlebixError(*problem, ErrorContext{setting, {}, 0, 0, text});
    return *ParseWholeToken(text);
}

}  // namespace

std::optional<EngineMessage> PlotSideProblem(std::string_view text) {
    const auto side = ParseWholeToken(text);
    if (side && *side >= 1 && *side <= MaxPlotSide) return std::nullopt;
    return EngineMessage("engine.plot_side", {text, std::to_string(MaxPlotSide)});
}

bool IsEdgesWord(std::string_view text) { return text == EdgesTorus || text == EdgesBounded; }

EngineMessage EdgesRefusal(std::string_view text) {
    return EngineMessage("engine.edges", {text, EdgesTorus, EdgesBounded});
}

bool HasBoundedEdges(const PlotSettings &settings) { return settings.Edges == EdgesBounded; }

bool IsEdgesSetting(std::string_view name) {
    const PlotSettings plot;
    bool found = false;
    VisitPlotSettings(plot, [&](const SettingRow &row, const auto &member) {
        if (static_cast<const void *>(&member) == &plot.Edges) found = row.name == name;
    });
    return found;
}

PlotShape PlotShapeOf(const PlotSettings &settings) {
    PlotShape shape;
    shape.Width = TakeSide("PlotWidth", settings.Width);
    shape.Height = TakeSide("PlotHeight", settings.Height);
    if (!IsEdgesWord(settings.Edges))
        throw GlebixError(EdgesRefusal(settings.Edges), ErrorContext{"Edges", {}, 0, 0, settings.Edges});
    shape.Bounded = HasBoundedEdges(settings);
    return shape;
}

PlotShape ShapeWithGrid(PlotShape shape, const PlotSettings &settings, GridSize grid, const std::string &path,
                        bool fixedSize) {
    if (grid.Columns == shape.Width && grid.Rows == shape.Height) return shape;
    const ErrorContext where{{}, path, 0, 0, {}};
    const std::string columns = std::to_string(grid.Columns), rows = std::to_string(grid.Rows);
    if (fixedSize)
        throw GlebixError(EngineMessage("engine.grid_size_window", {path, columns, rows, std::to_string(GridSide)}),
                          where);
    const PlotSettings defaults;
    if (settings.Width != defaults.Width || settings.Height != defaults.Height || shape.Width != GridSide ||
        shape.Height != GridSide)
        throw GlebixError(
            EngineMessage("engine.grid_size_settings", {path, columns, rows, settings.Width, settings.Height,
                                                        std::to_string(shape.Width), std::to_string(shape.Height)}),
            ErrorContext{"PlotWidth", path, 0, 0, {}});
    shape.Width = grid.Columns;
    shape.Height = grid.Rows;
    return shape;
}

void CheckChartCell(const char *setting, const std::string &text, int side) {
    const auto index = ParseWholeToken(text);
    if (index && (*index < 1 || *index > side))
        throw GlebixError(EngineMessage("engine.chart_cell_outside", {text, std::to_string(side)}),
                          ErrorContext{setting, {}, 0, 0, text});
}

}  // namespace glebix
