#include "PlotShape.h"

#include "Conversions.h"
#include "Errors.h"
#include "SettingsRegistry.h"

namespace glebix {

namespace {

std::string Quoted(std::string_view text) { return "« " + std::string(text) + " »"; }

std::string SizeWords(int columns, int rows) {
    return std::to_string(columns) + " colonnes et " + std::to_string(rows) + " lignes";
}

int TakeSide(const char *setting, const std::string &text) {
    if (auto problem = PlotSideProblem(text)) throw GlebixError(*problem, ErrorContext{setting, {}, 0, 0, text});
    return *ParseWholeToken(text);
}

}  // namespace

std::optional<std::string> PlotSideProblem(std::string_view text) {
    const auto side = ParseWholeToken(text);
    if (side && *side >= 1 && *side <= MaxPlotSide) return std::nullopt;
    return Quoted(text) + " n'est pas un nombre entier de cases de 1 à " + std::to_string(MaxPlotSide);
}

bool IsEdgesWord(std::string_view text) { return text == EdgesTorus || text == EdgesBounded; }

std::string EdgesRefusal() {
    return std::string(" n'est pas un bord de parcelle : ") + EdgesTorus + " (tore) ou " + EdgesBounded +
           " (bords que les individus franchissent pour partir)";
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
        throw GlebixError(Quoted(settings.Edges) + EdgesRefusal(), ErrorContext{"Edges", {}, 0, 0, settings.Edges});
    shape.Bounded = HasBoundedEdges(settings);
    return shape;
}

namespace {

// Refuses the plot side `setting` holding `text` when the settings demand it (given by
// name, or another text than `defaultText`) and it differs from the grid's `side`.
void CheckDemandedSide(const char *setting, const std::string &text, const std::string &defaultText, bool given,
                       int side, GridSize grid, const std::string &path) {
    if (!given && text == defaultText) return;
    if (ParseWholeToken(text) == side) return;
    throw GlebixError("la grille du fichier « " + path + " » a " + SizeWords(grid.Columns, grid.Rows) +
                          ", qui font la taille de la parcelle",
                      ErrorContext{setting, {}, 0, 0, text});
}

}  // namespace

PlotShape ShapeWithGrid(PlotShape shape, const PlotSettings &settings, GridSize grid, const std::string &path,
                        const std::string &earlier, bool fixedSize) {
    const bool same = grid.Columns == shape.Width && grid.Rows == shape.Height;
    const std::string found = "la grille du fichier « " + path + " » a " + SizeWords(grid.Columns, grid.Rows);
    if (fixedSize && !same)
        throw GlebixError(found +
                              " ; la fenêtre ne montre que des parcelles de 50 × 50 : une parcelle d'une autre "
                              "taille se simule avec glebix-batch, ou depuis Python ou R",
                          ErrorContext{{}, path, 0, 0, {}});
    if (!earlier.empty()) {
        if (same) return shape;
        throw GlebixError(found + " ; celle du fichier « " + earlier + " », qui fait la taille de la parcelle, en a " +
                          SizeWords(shape.Width, shape.Height));
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
        throw GlebixError("la case du graphique " + Quoted(text) +
                              " est hors de la parcelle, dont l'indice va de 1 à " + std::to_string(side),
                          ErrorContext{setting, {}, 0, 0, text});
}

}  // namespace glebix
