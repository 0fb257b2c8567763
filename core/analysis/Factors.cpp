#include "Factors.h"

#include <algorithm>
#include <cmath>

#include "Conversions.h"
#include "DesignFile.h"
#include "Messages.h"
#include "SettingsTable.h"
#include "StudyTable.h"

namespace glebix::analysis {

namespace {

using core::Message;

constexpr const char *NameColumn = "name";
constexpr const char *LowColumn = "low";
constexpr const char *HighColumn = "high";
constexpr const char *ScaleColumn = "scale";

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Where a factor is given: a file's line, or the factor's own name for one given as a
// row by a front end.
struct Place {
    std::string_view source;
    std::int64_t line = 0;
    bool byName = false;
};

// "factors.csv:4: column low: ", or "factor alpha: column low: ".
std::string Where(const Place &place, std::string_view name, std::string_view column) {
    const std::string head = place.byName ? Message("factors.given", {std::string(name)})
                                          : std::string(place.source) + ":" + std::to_string(place.line) + ": ";
    return head + Message("design.column", {std::string(column)});
}

std::string Where(std::string_view source, std::int64_t line, std::string_view column) {
    return Where(Place{source, line}, {}, column);
}

// Where each column lies in a line; -1 for an absent one.
struct Layout {
    int name = -1, low = -1, high = -1, scale = -1;
};

std::vector<std::string> ReadHeader(const std::vector<std::string> &fields, std::string_view source, std::int64_t line,
                                    Layout &layout) {
    std::vector<std::string> problems;
    for (std::size_t c = 0; c < fields.size(); ++c) {
        const std::string &f = fields[c];
        int *slot = f == NameColumn    ? &layout.name
                    : f == LowColumn   ? &layout.low
                    : f == HighColumn  ? &layout.high
                    : f == ScaleColumn ? &layout.scale
                                       : nullptr;
        if (!slot || *slot >= 0)
            problems.push_back(Where(source, line, std::to_string(c + 1)) + Message("factors.bad_column", {f}));
        else
            *slot = static_cast<int>(c);
    }
    for (const char *needed : {NameColumn, LowColumn, HighColumn})
        if (std::find(fields.begin(), fields.end(), needed) == fields.end())
            problems.push_back(std::string(source) + ":" + std::to_string(line) + ": " +
                               Message("factors.missing_column", {needed}));
    return problems;
}

// A bound: a complete finite real, and for a setting a value --set takes.
std::optional<double> Bound(const Factor &factor, const std::string &text, const std::string &where,
                            std::vector<std::string> &problems) {
    const auto value = ParseRealToken(text);
    if (!value || !std::isfinite(*value)) {
        problems.push_back(where + Message("factors.not_number", {text}));
        return std::nullopt;
    }
    if (factor.Setting) {
        TSettings scratch;
        if (auto problem = core::ApplySetting(factor.Name, text, scratch)) {
            problems.push_back(where + *problem);
            return std::nullopt;
        }
    }
    return value;
}

bool TakesNumber(const SettingRow &row) { return row.kind != SettingKind::Path && row.kind != SettingKind::Word; }

// One factor's name, bounds and scale (empty: linear), checked.
void ReadFactor(Factor factor, const std::string &lowText, const std::string &highText, const std::string &scale,
                const Place &place, ParsedFactors &parsed) {
    const std::size_t before = parsed.Problems.size();
    const auto where = [&](std::string_view column) { return Where(place, factor.Name, column); };
    if (factor.Name.empty()) parsed.Problems.push_back(where(NameColumn) + Message("factors.empty_name"));
    for (const Factor &f : parsed.Factors)
        if (f.Name == factor.Name)
            parsed.Problems.push_back(where(NameColumn) + Message("factors.twice", {factor.Name}));
    const SettingRow *row = FindSettingRow(factor.Name);
    if (row && row->setter == SettingSetter::ByName) {
        if (!TakesNumber(*row))
            parsed.Problems.push_back(where(NameColumn) + Message("factors.not_numeric_setting", {factor.Name}));
        factor.Setting = row;
        factor.Whole =
            row->kind == SettingKind::Whole || row->kind == SettingKind::Mode || row->kind == SettingKind::Flag;
    }
    if (parsed.Problems.size() > before) return;
    const auto low = Bound(factor, lowText, where(LowColumn), parsed.Problems);
    const auto high = Bound(factor, highText, where(HighColumn), parsed.Problems);
    if (scale == "log")
        factor.Scale = FactorScale::Log;
    else if (scale != "linear" && !scale.empty())
        parsed.Problems.push_back(where(ScaleColumn) + Message("factors.bad_scale", {scale}));
    if (!low || !high) return;
    if (*low >= *high)
        parsed.Problems.push_back(where(HighColumn) +
                                  Message("factors.not_above", {FormatShortest(*high), FormatShortest(*low)}));
    else if (factor.Scale == FactorScale::Log && *low <= 0)
        parsed.Problems.push_back(where(LowColumn) + Message("factors.log_low", {FormatShortest(*low)}));
    factor.Low = *low;
    factor.High = *high;
    if (parsed.Problems.size() == before) parsed.Factors.push_back(std::move(factor));
}

void ReadFactorLine(const std::vector<std::string> &fields, const Layout &layout, std::string_view source,
                    std::int64_t line, ParsedFactors &parsed) {
    const auto field = [&fields](int column) { return fields[static_cast<std::size_t>(column)]; };
    Factor factor;
    factor.Name = field(layout.name);
    ReadFactor(std::move(factor), field(layout.low), field(layout.high),
               layout.scale >= 0 ? field(layout.scale) : std::string(), Place{source, line}, parsed);
}

}  // namespace

ParsedFactors ParseFactorsText(std::string_view text, std::string_view source) {
    ParsedFactors parsed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::optional<Layout> layout;
    std::vector<std::string> fields;
    for (std::int64_t line = 1; !text.empty(); ++line) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (Trimmed(row).empty() || Trimmed(row).front() == '#') continue;
        if (auto problem = core::SplitCsvLine(row, fields)) {
            parsed.Problems.push_back(std::string(source) + ":" + std::to_string(line) + ": " + *problem);
            if (!layout) return parsed;
            continue;
        }
        if (!layout) {
            layout.emplace();
            parsed.Problems = ReadHeader(fields, source, line, *layout);
            if (!parsed.Problems.empty()) return parsed;
            continue;
        }
        const std::size_t columns = layout->scale >= 0 ? 4 : 3;
        if (fields.size() != columns) {
            parsed.Problems.push_back(
                std::string(source) + ":" + std::to_string(line) + ": " +
                Message("design.field_count", {std::to_string(fields.size()), std::to_string(columns)}));
            continue;
        }
        ReadFactorLine(fields, *layout, source, line, parsed);
    }
    if (parsed.Problems.empty() && parsed.Factors.empty())
        parsed.Problems.push_back(core::Labelled(std::string(source), Message("factors.none")));
    if (!parsed.Problems.empty()) parsed.Factors.clear();
    return parsed;
}

ParsedFactors FactorsFromRows(const std::vector<FactorRow> &rows) {
    ParsedFactors parsed;
    for (const FactorRow &row : rows) {
        Factor factor;
        factor.Name = row.Name;
        ReadFactor(std::move(factor), FormatShortest(row.Low), FormatShortest(row.High), row.Scale, Place{{}, 0, true},
                   parsed);
    }
    if (parsed.Problems.empty() && parsed.Factors.empty()) parsed.Problems.push_back(Message("factors.none"));
    if (!parsed.Problems.empty()) parsed.Factors.clear();
    return parsed;
}

std::string FactorsText(const std::vector<Factor> &factors) {
    std::string out = std::string(NameColumn) + "," + LowColumn + "," + HighColumn + "," + ScaleColumn + "\n";
    for (const Factor &f : factors)
        out += core::CsvField(f.Name) + "," + FormatShortest(f.Low) + "," + FormatShortest(f.High) + "," +
               (f.Scale == FactorScale::Log ? "log" : "linear") + "\n";
    return out;
}

double OnScale(const Factor &factor, double x) { return factor.Scale == FactorScale::Log ? std::log(x) : x; }

double ValueAt(const Factor &factor, double u) {
    double x = 0;
    if (factor.Scale == FactorScale::Log) {
        const double low = std::log(factor.Low), high = std::log(factor.High);
        x = std::exp(low + u * (high - low));
    } else if (factor.Whole) {
        // Each whole number of [low, high] has the same share of [0, 1].
        x = factor.Low - 0.5 + u * (factor.High - factor.Low + 1);
    } else {
        x = factor.Low + u * (factor.High - factor.Low);
    }
    if (factor.Whole) x = std::nearbyint(x);
    return std::clamp(x, factor.Low, factor.High);
}

std::string ValueText(const Factor &factor, double value) {
    if (factor.Whole) return std::to_string(static_cast<long long>(value));
    return FormatShortest(value);
}

}  // namespace glebix::analysis
