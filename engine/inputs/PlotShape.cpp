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

PlotSettings WithoutGridSize(PlotSettings settings) {
    if (!settings.SizeFromGrid) return settings;
    const PlotSettings defaults;
    if (!settings.WidthGiven) settings.Width = defaults.Width;
    if (!settings.HeightGiven) settings.Height = defaults.Height;
    settings.SizeFromGrid = false;
    return settings;
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

namespace {

// The grid's file, columns and rows, the first arguments of each message about its size.
std::vector<MessageArg> GridSizeArgs(const std::string &path, GridSize grid) {
    return {path, std::to_string(grid.Columns), std::to_string(grid.Rows)};
}

// Refuses the plot side `setting` holding `text` when the settings demand it (given by
// name, or another text than `defaultText`) and it differs from the grid's `side`.
void CheckDemandedSide(const char *setting, const std::string &text, const std::string &defaultText, bool given,
                       int side, GridSize grid, const std::string &path) {
    if (!given && text == defaultText) return;
    if (ParseWholeToken(text) == side) return;
    throw GlebixError(EngineMessage("engine.grid_size_demand", GridSizeArgs(path, grid)),
                      ErrorContext{setting, {}, 0, 0, text});
}

}  // namespace

PlotShape ShapeWithGrid(PlotShape shape, const PlotSettings &settings, GridSize grid, const std::string &path,
                        const std::string &earlier, bool fixedSize) {
    const bool same = grid.Columns == shape.Width && grid.Rows == shape.Height;
    if (fixedSize && !same) {
        auto args = GridSizeArgs(path, grid);
        args.emplace_back(std::to_string(GridSide));
        throw GlebixError(EngineMessage("engine.grid_size_window", std::move(args)), ErrorContext{{}, path, 0, 0, {}});
    }
    if (!earlier.empty()) {
        if (same) return shape;
        auto args = GridSizeArgs(path, grid);
        args.insert(args.end(), {earlier, std::to_string(shape.Width), std::to_string(shape.Height)});
        throw GlebixError(EngineMessage("engine.grid_size_other_grid", std::move(args)));
    }
    const PlotSettings defaults;
    CheckDemandedSide("PlotWidth", settings.Width, defaults.Width, settings.WidthGiven, grid.Columns, grid, path);
    CheckDemandedSide("PlotHeight", settings.Height, defaults.Height, settings.HeightGiven, grid.Rows, grid, path);
    shape.Width = grid.Columns;
    shape.Height = grid.Rows;
    shape.FromGrid = true;
    return shape;
}

void TakeChartCellDefault(RunSettings &run, const PlotShape &shape) {
    const RunSettings defaults;
    // The centre an earlier set-up took is the default again, for this plot to take its own.
    if (run.ChartCellXTaken && !run.ChartCellXGiven) run.ChartCellX = defaults.ChartCellX;
    if (run.ChartCellYTaken && !run.ChartCellYGiven) run.ChartCellY = defaults.ChartCellY;
    run.ChartCellXTaken = run.ChartCellYTaken = false;
    if (shape.Width == GridSide && shape.Height == GridSide) return;
    // The centre's index from 1: the middle cell of an odd side, the first of the two
    // middle ones of an even side.
    auto centre = [](int side) { return std::to_string((side + 1) / 2); };
    auto take = [&](std::string &text, bool given, const std::string &defaultText, int side) {
        if (given || text != defaultText) return false;
        text = centre(side);
        return true;
    };
    run.ChartCellXTaken = take(run.ChartCellX, run.ChartCellXGiven, defaults.ChartCellX, shape.Width);
    run.ChartCellYTaken = take(run.ChartCellY, run.ChartCellYGiven, defaults.ChartCellY, shape.Height);
}

void NoteGivenByName(TSettings &settings, const void *member) {
    if (member == &settings.Plot.Width) settings.Plot.WidthGiven = true;
    if (member == &settings.Plot.Height) settings.Plot.HeightGiven = true;
    if (member == &settings.Run.ChartCellX) settings.Run.ChartCellXGiven = true;
    if (member == &settings.Run.ChartCellY) settings.Run.ChartCellYGiven = true;
}

void CheckChartCell(const char *setting, const std::string &text, int side) {
    const auto index = ParseWholeToken(text);
    if (index && (*index < 1 || *index > side))
        throw GlebixError(EngineMessage("engine.chart_cell_outside", {text, std::to_string(side)}),
                          ErrorContext{setting, {}, 0, 0, text});
}

}  // namespace glebix
