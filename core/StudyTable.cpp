#include "StudyTable.h"

#include <algorithm>
#include <charconv>

#include "Conversions.h"
#include "Habitat.h"
#include "Outputs.h"
#include "Simul.h"
#include "PlotShape.h"

namespace glebix::core {

void AppendInteger(std::string &out, std::int64_t v) {
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

std::int64_t TotalCount(const TPlot &plot) {
    std::int64_t sum = 0;
    for (std::size_t c = 0; c < plot.Density.Size(); ++c) sum += plot.Density.Data()[c];
    return sum;
}

StepRecord RecordStep(const Simul &simul) {
    const TPlot &plot = simul.Plot;
    const CellIndex cell = simul.ChartCell();
    const int i = cell.I - 1, j = cell.J - 1;
    StepRecord r;
    r.CellDensity = plot.Density[i][j];
    r.CellCompacted = plot.Env[i][j].Compacted;
    r.CellDecompacted = plot.Env[i][j].Decompacted;
    r.MeanDensity = MeanDensity(plot);
    r.MeanCompacted = MeanCompacted(plot);
    for (std::size_t c = 0; c < plot.Density.Size(); ++c) {
        const std::int32_t count = plot.Density.Data()[c];
        r.TotalDensity += count;
        r.OccupiedCells += count > 0 ? 1 : 0;
    }
    r.Cells = static_cast<std::int64_t>(plot.Density.Size());
    r.Emigrants = simul.Emigrants;
    r.Lost = simul.Lost;
    return r;
}

std::string StepColumns(CountColumns counts) {
    std::string header;
    for (const char *name : StepColumnNames) header += (header.empty() ? "" : ",") + std::string(name);
    if (counts.Emigrants) header += std::string(",") + EmigrantsColumnName;
    if (counts.Lost) header += std::string(",") + LostColumnName;
    return header;
}

void AppendStepValues(std::string &out, std::int32_t step, const StepRecord &r, CountColumns counts) {
    AppendInteger(out, step);
    out += ',';
    AppendInteger(out, r.CellDensity);
    out += ',';
    out += FormatShortest(r.CellCompacted);
    out += ',';
    out += FormatShortest(r.CellDecompacted);
    out += ',';
    out += FormatShortest(r.MeanDensity);
    out += ',';
    out += FormatShortest(r.MeanCompacted);
    out += ',';
    AppendInteger(out, r.TotalDensity);
    for (const auto &[shown, value] : {std::pair{counts.Emigrants, r.Emigrants}, std::pair{counts.Lost, r.Lost}}) {
        if (!shown) continue;
        out += ',';
        AppendInteger(out, value);
    }
}

bool TableCountsEmigrants(bool bounded, const std::vector<std::string> &designColumns) {
    return bounded || std::any_of(designColumns.begin(), designColumns.end(), IsEdgesSetting);
}

bool TableCountsLost(const InitialSettings &in, const std::vector<std::string> &designColumns) {
    return UsesHabitatMask(in) || std::any_of(designColumns.begin(), designColumns.end(),
                                              [&in](const std::string &name) { return MaskMayVaryWith(in, name); });
}

CountColumns TableCounts(const TSettings &settings, const std::vector<std::string> &designColumns) {
    return {TableCountsEmigrants(HasBoundedEdges(settings.Plot), designColumns),
            TableCountsLost(settings.Initial, designColumns)};
}

std::string StudyTableHeader(const std::vector<std::string> &designColumns, CountColumns counts,
                             const std::vector<std::string> &metricColumns) {
    std::string header = "point,replicate,seed,";
    for (const std::string &name : designColumns) header += CsvField(name) + ',';
    header += StepColumns(counts);
    for (const std::string &name : metricColumns) header += ',' + CsvField(name);
    return header + '\n';
}

std::optional<double> StepColumnValue(const StepRecord &r, std::string_view column) {
    if (column == "cell_density") return r.CellDensity;
    if (column == "cell_compacted") return r.CellCompacted;
    if (column == "cell_decompacted") return r.CellDecompacted;
    if (column == "mean_density") return r.MeanDensity;
    if (column == "mean_compacted") return r.MeanCompacted;
    if (column == "total_density") return static_cast<double>(r.TotalDensity);
    if (column == EmigrantsColumnName) return static_cast<double>(r.Emigrants);
    if (column == LostColumnName) return static_cast<double>(r.Lost);
    if (column == OccupiedShareColumn)
        return r.Cells > 0 ? static_cast<double>(r.OccupiedCells) / static_cast<double>(r.Cells) : 0.0;
    return std::nullopt;
}

std::optional<TableSteps> ParseTableSteps(std::string_view text) {
    if (text == "last") return TableSteps{1, true};
    std::int32_t every = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), every);
    if (ec != std::errc() || end != text.data() + text.size() || every < 1) return std::nullopt;
    return TableSteps{every, false};
}

bool KeepsStep(const TableSteps &steps, std::int32_t step, std::int32_t lastStep) {
    if (step == lastStep) return true;
    return !steps.LastOnly && step % steps.Every == 0;
}

void AppendToRows(std::string &rows, std::string_view suffix) {
    std::string out;
    out.reserve(rows.size() + suffix.size() * 4);
    std::size_t start = 0;
    for (std::size_t end; (end = rows.find('\n', start)) != std::string::npos; start = end + 1) {
        out.append(rows, start, end - start);
        out += ',';
        out += suffix;
        out += '\n';
    }
    out.append(rows, start, std::string::npos);
    rows = std::move(out);
}

std::string StudyRowPrefix(int point, int replicate, std::uint32_t seed, const std::vector<std::string> &designValues) {
    std::string prefix;
    AppendInteger(prefix, point);
    prefix += ',';
    AppendInteger(prefix, replicate);
    prefix += ',';
    AppendInteger(prefix, seed);
    prefix += ',';
    for (const std::string &value : designValues) prefix += CsvField(value) + ',';
    return prefix;
}

void AppendStudyRow(std::string &out, std::string_view prefix, std::int32_t step, const StepRecord &record,
                    CountColumns counts) {
    out += prefix;
    AppendStepValues(out, step, record, counts);
    out += '\n';
}

std::string CsvField(std::string_view text) {
    // Blanks at the ends would be dropped, and a line starting with '#' skipped, by a
    // reader of design files.
    const bool blankEnds =
        !text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t');
    const bool looksLikeComment = !text.empty() && text.front() == '#';
    if (!blankEnds && !looksLikeComment && text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

}  // namespace glebix::core
