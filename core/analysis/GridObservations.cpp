#include "GridObservations.h"

#include "AsciiGrid.h"
#include "Conversions.h"
#include "Errors.h"
#include "Messages.h"
#include "RasterInput.h"

namespace glebix::analysis {

namespace {

using calibration::ValueGrid;
using core::Message;

// The separators of an observed grid's text: FIELD@STEP:FILE.
constexpr char FieldMark = '@';
constexpr char StepMark = ':';

std::optional<GridField> GridFieldNamed(std::string_view name) {
    if (name == "density") return GridField::Density;
    if (name == "compacted") return GridField::Compacted;
    return std::nullopt;
}

// The text split, its problem said in `problems` when it has none.
std::optional<GridObservation> ParseGridText(const std::string &text, std::int32_t steps,
                                             std::vector<std::string> &problems) {
    GridObservation out;
    out.Text = text;
    std::string_view rest = text;
    const auto colon = rest.find(StepMark);
    const auto at = rest.find(FieldMark);
    if (at != std::string_view::npos && at < colon) {
        const auto field = GridFieldNamed(rest.substr(0, at));
        if (!field) {
            problems.push_back(Message("calibration.grid_field", {text, std::string(rest.substr(0, at))}));
            return std::nullopt;
        }
        out.Field = *field;
        rest.remove_prefix(at + 1);
    }
    const auto split = rest.find(StepMark);
    if (split == std::string_view::npos || split + 1 == rest.size()) {
        problems.push_back(Message("calibration.grid_form", {text}));
        return std::nullopt;
    }
    const auto step = ParseWholeToken(rest.substr(0, split));
    if (!step || *step < 0 || *step > steps) {
        problems.push_back(
            Message("calibration.grid_step", {text, std::string(rest.substr(0, split)), std::to_string(steps)}));
        return std::nullopt;
    }
    out.Step = *step;
    out.Path = std::string(rest.substr(split + 1));
    return out;
}

// The raster's values, refused when it is not a grid of the plot's size with a number
// in every cell.
std::optional<ValueGrid> ReadValues(const GridObservation &grid, int columns, int rows,
                                    std::vector<std::string> &problems) {
    InputBytes store;
    const ReadInput &read = gis::ReadInitialInputOnce(store, grid.Path);
    if (!read.Bytes) {
        problems.push_back(Message("calibration.grid_unreadable", {grid.Text, core::LocalMessage(read.Error)}));
        return std::nullopt;
    }
    try {
        const GridSize size = AsciiGridSize(*read.Bytes, grid.Path);
        if (size != GridSize{columns, rows}) {
            problems.push_back(
                Message("calibration.grid_size", {grid.Path, std::to_string(size.Columns), std::to_string(size.Rows),
                                                  std::to_string(columns), std::to_string(rows)}));
            return std::nullopt;
        }
        ValueGrid values{columns, rows, std::vector<double>(static_cast<std::size_t>(columns) * rows)};
        std::vector<bool> named(values.Cells.size(), false);
        ReadAsciiGrid(
            *read.Bytes, grid.Path,
            [&](int i, int j, std::string_view token) {
                const auto value = ParseRealToken(token);
                if (!value) throw GlebixError(Message("calibration.grid_not_number"));
                const std::size_t cell = static_cast<std::size_t>(j) * columns + i;
                values.Cells[cell] = *value;
                named[cell] = true;
            },
            size);
        for (std::size_t cell = 0; cell < named.size(); ++cell)
            if (!named[cell]) {
                const std::size_t i = cell % columns, j = cell / columns;
                problems.push_back(
                    Message("calibration.grid_no_value", {grid.Path, std::to_string(i + 1), std::to_string(j + 1)}));
                return std::nullopt;
            }
        return values;
    } catch (const GlebixError &e) { problems.push_back(core::LocalMessageWithContext(e)); }
    return std::nullopt;
}

}  // namespace

std::string_view GridFieldName(GridField field) { return field == GridField::Density ? "density" : "compacted"; }

std::optional<GridCompare> GridCompareNamed(std::string_view name) {
    if (name == "summaries") return GridCompare::Summaries;
    if (name == "cells") return GridCompare::Cells;
    return std::nullopt;
}

std::string_view GridCompareName(GridCompare compare) {
    return compare == GridCompare::Summaries ? "summaries" : "cells";
}

GridObservations ReadGridObservations(const std::vector<std::string> &texts, std::int32_t steps, int columns,
                                      int rows) {
    GridObservations out;
    for (const std::string &text : texts) {
        auto grid = ParseGridText(text, steps, out.Problems);
        if (!grid) continue;
        auto values = ReadValues(*grid, columns, rows, out.Problems);
        if (!values) continue;
        grid->Values = std::move(*values);
        out.Grids.push_back(std::move(*grid));
    }
    if (!out.Problems.empty()) out.Grids.clear();
    return out;
}

std::vector<double> GridEntries(const ValueGrid &grid, GridCompare compare) {
    if (compare == GridCompare::Cells) return grid.Cells;
    std::vector<double> out;
    for (const calibration::GridSummary s : calibration::GridSummaries) out.push_back(SummaryOf(grid, s));
    return out;
}

std::vector<std::string> GridEntryNames(const GridObservation &grid, GridCompare compare) {
    const std::string head = std::string(GridFieldName(grid.Field)) + FieldMark + std::to_string(grid.Step) + " ";
    std::vector<std::string> out;
    if (compare == GridCompare::Summaries) {
        for (const calibration::GridSummary s : calibration::GridSummaries)
            out.push_back(head + std::string(calibration::GridSummaryName(s)));
        return out;
    }
    for (int row = 1; row <= grid.Values.Rows; ++row)
        for (int column = 1; column <= grid.Values.Columns; ++column)
            out.push_back(head + "cell " + std::to_string(column) + "," + std::to_string(row));
    return out;
}

GridCapture::GridCapture(const std::vector<GridObservation> &grids) {
    for (const GridObservation &g : grids) kept_.emplace(std::pair{g.Step, g.Field}, ValueGrid{});
}

void GridCapture::Take(const core::RunSession &session) {
    const TPlot &plot = session.Plot();
    for (auto &[key, grid] : kept_) {
        if (key.first != session.StepIndex()) continue;
        grid = ValueGrid{plot.Width, plot.Height, std::vector<double>(static_cast<std::size_t>(plot.Cells()))};
        for (int i = 0; i < plot.Width; ++i)
            for (int j = 0; j < plot.Height; ++j)
                grid.Cells[static_cast<std::size_t>(j) * plot.Width + i] =
                    key.second == GridField::Density ? plot.Density[i][j] : plot.Env[i][j].Compacted;
    }
}

const ValueGrid *GridCapture::Grid(GridField field, std::int32_t step) const {
    const auto found = kept_.find({step, field});
    return found == kept_.end() || found->second.Cells.empty() ? nullptr : &found->second;
}

std::vector<double> CapturedEntries(const GridCapture &capture, const std::vector<GridObservation> &grids,
                                    GridCompare compare) {
    std::vector<double> out;
    for (const GridObservation &g : grids) {
        const ValueGrid *grid = capture.Grid(g.Field, g.Step);
        if (!grid) return {};
        for (double v : GridEntries(*grid, compare)) out.push_back(v);
    }
    return out;
}

}  // namespace glebix::analysis
