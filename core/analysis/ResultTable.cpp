#include "ResultTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Conversions.h"
#include "DesignFile.h"
#include "Messages.h"
#include "SettingsTable.h"
#include "StudyTable.h"

namespace glebix::analysis {

namespace {

using core::Message;

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string Where(std::string_view source, std::int64_t line) {
    return std::string(source) + ":" + std::to_string(line) + ": ";
}

std::string Where(std::string_view source, std::int64_t line, const std::string &column) {
    return Where(source, line) + Message("design.column", {column});
}

// Where the columns lie: -1 for an absent optional one.
struct Layout {
    int point = -1, step = -1, status = -1;
    std::vector<int> factors, metrics;
    std::size_t width = 0;
};

int ColumnOf(const std::vector<std::string> &header, const std::string &name) {
    const auto found = std::find(header.begin(), header.end(), name);
    return found == header.end() ? -1 : static_cast<int>(found - header.begin());
}

std::vector<std::string> ReadHeader(const std::vector<std::string> &header, const std::vector<std::string> &factors,
                                    const std::vector<std::string> &metrics, std::string_view source, std::int64_t line,
                                    Layout &layout) {
    std::vector<std::string> problems;
    layout.width = header.size();
    layout.point = ColumnOf(header, "point");
    layout.step = ColumnOf(header, "step");
    layout.status = ColumnOf(header, "status");
    if (layout.point < 0) problems.push_back(Where(source, line) + Message("table.missing_column", {"point"}));
    for (const std::string &f : factors) {
        layout.factors.push_back(ColumnOf(header, f));
        if (layout.factors.back() < 0) problems.push_back(Where(source, line) + Message("table.missing_factor", {f}));
    }
    for (const std::string &m : metrics) {
        layout.metrics.push_back(ColumnOf(header, m));
        if (layout.metrics.back() < 0) problems.push_back(Where(source, line) + Message("table.missing_metric", {m}));
    }
    return problems;
}

std::optional<double> FactorNumber(const std::string &text) {
    if (auto v = ParseRealToken(text); v && std::isfinite(*v)) return v;
    if (text == "on" || text == "true") return 1.0;
    if (text == "off" || text == "false") return 0.0;
    return std::nullopt;
}

bool IsMissing(const std::string &text) { return text.empty() || text == "NA" || text == "nan" || text == "NaN"; }

void ReadRow(const std::vector<std::string> &fields, const Layout &layout, const std::vector<std::string> &factors,
             const std::vector<std::string> &metrics, std::string_view source, std::int64_t line, ParsedTable &parsed) {
    ResultTable &t = parsed.Table;
    const std::string &pointText = fields[static_cast<std::size_t>(layout.point)];
    const auto point = core::ParseCount(pointText, 1);
    if (!point) {
        parsed.Problems.push_back(Where(source, line, "point") + Message("table.bad_point", {pointText}));
        return;
    }
    std::int64_t step = 0;
    if (layout.step >= 0) {
        const std::string &stepText = fields[static_cast<std::size_t>(layout.step)];
        const auto s = core::ParseCount(stepText, 0);
        if (!s) {
            parsed.Problems.push_back(Where(source, line, "step") + Message("table.bad_step", {stepText}));
            return;
        }
        step = *s;
    }
    const std::size_t p = static_cast<std::size_t>(*point);
    if (p > t.PointCount) {
        t.PointCount = p;
        t.FactorValues.resize(p * t.Factors, NotANumber);
        t.PointLine.resize(p, 0);
    }
    for (std::size_t i = 0; i < factors.size(); ++i) {
        const std::string &text = fields[static_cast<std::size_t>(layout.factors[i])];
        const auto v = FactorNumber(text);
        double &stored = t.FactorValues[(p - 1) * t.Factors + i];
        if (!v)
            parsed.Problems.push_back(Where(source, line, factors[i]) + Message("table.factor_not_number", {text}));
        else if (t.PointLine[p - 1] == 0)
            stored = *v;
        else if (stored != *v)
            parsed.Problems.push_back(
                Where(source, line, factors[i]) +
                Message("table.factor_differs", {std::to_string(p), text, std::to_string(t.PointLine[p - 1])}));
    }
    if (t.PointLine[p - 1] == 0) t.PointLine[p - 1] = line;
    const bool failed = layout.status >= 0 && fields[static_cast<std::size_t>(layout.status)] != "ok" &&
                        fields[static_cast<std::size_t>(layout.status)] != "completed";
    for (std::size_t m = 0; m < metrics.size(); ++m) {
        const std::string &text = fields[static_cast<std::size_t>(layout.metrics[m])];
        double value = NotANumber;
        if (!IsMissing(text)) {
            const auto v = ParseRealToken(text);
            if (!v) {
                parsed.Problems.push_back(Where(source, line, metrics[m]) + Message("table.metric_not_number", {text}));
                continue;
            }
            value = *v;
        }
        t.RowMetrics.push_back(failed || !std::isfinite(value) ? NotANumber : value);
    }
    t.RowPoint.push_back(static_cast<std::int32_t>(p));
    t.RowStep.push_back(step);
}

}  // namespace

std::vector<std::int64_t> ResultTable::Steps() const {
    std::vector<std::int64_t> steps = RowStep;
    std::sort(steps.begin(), steps.end());
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    return steps;
}

ParsedTable ParseResultTable(std::string_view text, std::string_view source, const std::vector<std::string> &factors,
                             const std::vector<std::string> &metrics) {
    // Past this many problems the table is plainly not the one meant.
    constexpr std::size_t MaxProblems = 100;
    ParsedTable parsed;
    parsed.Table.Factors = factors.size();
    parsed.Table.Metrics = metrics.size();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::optional<Layout> layout;
    std::vector<std::string> fields;
    for (std::int64_t line = 1; !text.empty() && parsed.Problems.size() < MaxProblems; ++line) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (Trimmed(row).empty() || Trimmed(row).front() == '#') continue;
        if (auto problem = core::SplitCsvLine(row, fields)) {
            parsed.Problems.push_back(Where(source, line) + *problem);
            if (!layout) return parsed;
            continue;
        }
        if (!layout) {
            layout.emplace();
            parsed.Problems = ReadHeader(fields, factors, metrics, source, line, *layout);
            parsed.Table.HasSteps = layout->step >= 0;
            if (!parsed.Problems.empty()) return parsed;
            continue;
        }
        if (fields.size() != layout->width) {
            parsed.Problems.push_back(
                Where(source, line) +
                Message("design.field_count", {std::to_string(fields.size()), std::to_string(layout->width)}));
            continue;
        }
        ReadRow(fields, *layout, factors, metrics, source, line, parsed);
    }
    if (parsed.Problems.empty() && parsed.Table.RowPoint.empty())
        parsed.Problems.push_back(core::Labelled(std::string(source), Message("table.no_row")));
    return parsed;
}

bool PointValues::Replicated() const {
    return std::any_of(Count.begin(), Count.end(), [](double c) { return c >= 2; });
}

std::vector<PointValues> ValuesAtStep(const ResultTable &t, std::int64_t step) {
    std::vector<PointValues> out(t.Metrics);
    for (PointValues &v : out) {
        v.Count.assign(t.PointCount, 0.0);
        v.Mean.assign(t.PointCount, 0.0);
        v.Squares.assign(t.PointCount, 0.0);
    }
    for (std::size_t r = 0; r < t.RowPoint.size(); ++r) {
        if (t.HasSteps && t.RowStep[r] != step) continue;
        const std::size_t p = static_cast<std::size_t>(t.RowPoint[r] - 1);
        for (std::size_t m = 0; m < t.Metrics; ++m) {
            const double y = t.RowMetrics[r * t.Metrics + m];
            if (std::isnan(y)) continue;
            PointValues &v = out[m];
            // Welford's running mean and squared deviations.
            v.Count[p] += 1;
            const double d = y - v.Mean[p];
            v.Mean[p] += d / v.Count[p];
            v.Squares[p] += d * (y - v.Mean[p]);
        }
    }
    for (PointValues &v : out)
        for (std::size_t p = 0; p < t.PointCount; ++p)
            if (v.Count[p] == 0) v.Mean[p] = NotANumber;
    return out;
}

std::size_t TableColumn::Size() const {
    switch (Type) {
    case Kind::Real:
        return Reals.size();
    case Kind::Whole:
        return Wholes.size();
    case Kind::Text:
        return Texts.size();
    }
    return 0;
}

namespace {

void AppendField(std::string &out, const TableColumn &column, std::size_t row) {
    if (row >= column.Size()) return;
    switch (column.Type) {
    case TableColumn::Kind::Real:
        AppendShortest(out, column.Reals[row]);
        break;
    case TableColumn::Kind::Whole:
        out += std::to_string(column.Wholes[row]);
        break;
    case TableColumn::Kind::Text:
        out += core::CsvField(column.Texts[row]);
        break;
    }
}

}  // namespace

std::string TableText(const std::vector<TableColumn> &columns) {
    std::string out;
    std::size_t rows = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out += (c ? "," : "") + core::CsvField(columns[c].Name);
        rows = std::max(rows, columns[c].Size());
    }
    out += '\n';
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c) out += ',';
            AppendField(out, columns[c], r);
        }
        out += '\n';
    }
    return out;
}

}  // namespace glebix::analysis
