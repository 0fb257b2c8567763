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

PlotShape PlotShapeOf(const PlotSettings &settings) {
    PlotShape shape;
    shape.Width = TakeSide("PlotWidth", settings.Width);
    shape.Height = TakeSide("PlotHeight", settings.Height);
    if (!IsEdgesWord(settings.Edges))
        throw GlebixError(Quoted(settings.Edges) + EdgesRefusal(), ErrorContext{"Edges", {}, 0, 0, settings.Edges});
    shape.Bounded = HasBoundedEdges(settings);
    return shape;
}

PlotShape ShapeWithGrid(PlotShape shape, const PlotSettings &settings, GridSize grid, const std::string &path,
                        bool fixedSize) {
    if (grid.Columns == shape.Width && grid.Rows == shape.Height) return shape;
    const ErrorContext where{{}, path, 0, 0, {}};
    const std::string found = "la grille du fichier « " + path + " » a " + SizeWords(grid.Columns, grid.Rows);
    if (fixedSize)
        throw GlebixError(found +
                              " ; la fenêtre ne montre que des parcelles de 50 × 50 : une parcelle d'une autre "
                              "taille se simule avec glebix-batch, ou depuis Python ou R",
                          where);
    const PlotSettings defaults;
    if (settings.Width != defaults.Width || settings.Height != defaults.Height || shape.Width != GridSide ||
        shape.Height != GridSide)
        throw GlebixError(found + " ; PlotWidth " + settings.Width + " et PlotHeight " + settings.Height +
                              " en demandent " + SizeWords(shape.Width, shape.Height),
                          ErrorContext{"PlotWidth", path, 0, 0, {}});
    shape.Width = grid.Columns;
    shape.Height = grid.Rows;
    return shape;
}

void CheckChartCell(const char *setting, const std::string &text, int side) {
    const auto index = ParseWholeToken(text);
    if (index && (*index < 1 || *index > side))
        throw GlebixError("la case du graphique " + Quoted(text) +
                              " est hors de la parcelle, dont l'indice va de 1 à " + std::to_string(side),
                          ErrorContext{setting, {}, 0, 0, text});
}

}  // namespace glebix
