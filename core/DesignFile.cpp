#include "DesignFile.h"

#include <algorithm>

#include "Messages.h"
#include "SettingsTable.h"

namespace glebix::core {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A quoted field from the opening quote at `line[k]`; `k` ends after the closing quote.
std::optional<std::string> QuotedField(std::string_view line, std::size_t &k, std::string &field) {
    for (++k; k < line.size(); ++k) {
        if (line[k] != '"') {
            field += line[k];
        } else if (k + 1 < line.size() && line[k + 1] == '"') {
            field += '"';
            ++k;
        } else {
            ++k;
            return std::nullopt;
        }
    }
    return Message("design.open_quote");
}

// The problem ApplySetting gives without its leading "setting.prefix", which the
// column's name already says.
std::string WithoutSettingName(const std::string &problem, const std::string &name) {
    const std::string prefix = Message("setting.prefix", {name});
    return problem.rfind(prefix, 0) == 0 ? problem.substr(prefix.size()) : problem;
}

// "plan.csv:4: ".
std::string Where(std::string_view source, std::int64_t line) {
    return std::string(source) + ":" + std::to_string(line) + ": ";
}

std::vector<std::string> CheckHeader(const std::vector<std::string> &names, std::string_view source,
                                     std::int64_t line) {
    std::vector<std::string> problems;
    for (std::size_t c = 0; c < names.size(); ++c) {
        const std::string &name = names[c];
        const std::string where = Where(source, line) + Message("design.column", {std::to_string(c + 1)});
        const auto &known = SettingNames();
        if (name.empty()) {
            problems.push_back(where + Message("design.unnamed_column"));
        } else if (std::find(known.begin(), known.end(), name) == known.end()) {
            problems.push_back(where + UnknownSettingMessage(name));
        } else if (std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(c), name) !=
                   names.begin() + static_cast<std::ptrdiff_t>(c)) {
            problems.push_back(where + Message("design.twice", {name}));
        }
    }
    return problems;
}

// One point's fields, each checked against a scratch copy of the settings.
void ReadPoint(const std::vector<std::string> &fields, std::int64_t line, std::string_view source,
               ParsedDesign &parsed) {
    const std::vector<std::string> &columns = parsed.Result.Columns;
    if (fields.size() != columns.size()) {
        parsed.Problems.push_back(
            Where(source, line) +
            Message("design.field_count", {std::to_string(fields.size()), std::to_string(columns.size())}));
        return;
    }
    TSettings scratch;
    for (std::size_t c = 0; c < fields.size(); ++c) {
        if (fields[c].empty()) continue;
        if (auto problem = ApplySetting(columns[c], fields[c], scratch)) {
            parsed.Problems.push_back(Where(source, line) + Message("design.column", {columns[c]}) +
                                      WithoutSettingName(*problem, columns[c]));
        }
    }
    if (!parsed.Result.AddPoint(line, fields))
        parsed.Problems.push_back(Where(source, line) + Message("design.too_large"));
}

}  // namespace

std::optional<std::string> SplitCsvLine(std::string_view line, std::vector<std::string> &fields) {
    fields.clear();
    std::size_t k = 0;
    for (;;) {
        std::string field;
        while (k < line.size() && IsBlank(line[k])) ++k;
        const bool isQuoted = k < line.size() && line[k] == '"';
        if (isQuoted) {
            if (auto problem = QuotedField(line, k, field)) return problem;
            while (k < line.size() && IsBlank(line[k])) ++k;
            if (k < line.size() && line[k] != ',')
                return Message("design.after_quote", {std::to_string(fields.size() + 1)});
        } else {
            const std::size_t end = std::min(line.find(',', k), line.size());
            field = std::string(Trim(line.substr(k, end - k)));
            if (field.find('"') != std::string::npos)
                return Message("design.inner_quote", {std::to_string(fields.size() + 1)});
            k = end;
        }
        fields.push_back(std::move(field));
        if (k >= line.size()) return std::nullopt;
        ++k;  // the comma
    }
}

ParsedDesign ParseDesignText(std::string_view text, std::string_view source) {
    ParsedDesign parsed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool haveHeader = false;
    std::vector<std::string> fields;
    for (std::int64_t lineNumber = 1; !text.empty(); ++lineNumber) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == '#') continue;

        if (auto problem = SplitCsvLine(line, fields)) {
            parsed.Problems.push_back(Where(source, lineNumber) + *problem);
            if (!haveHeader) return parsed;  // without the header no later line means anything
            continue;
        }
        if (!haveHeader) {
            haveHeader = true;
            parsed.Problems = CheckHeader(fields, source, lineNumber);
            parsed.Result.Columns = fields;
            if (!parsed.Problems.empty()) return parsed;
            parsed.Result.Reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1,
                                  text.size());
            continue;
        }
        ReadPoint(fields, lineNumber, source, parsed);
    }
    parsed.Result.Trim();
    if (!haveHeader)
        parsed.Problems.push_back(Labelled(std::string(source), Message("design.no_header")));
    else if (parsed.Result.PointCount() == 0 && parsed.Problems.empty())
        parsed.Problems.push_back(Labelled(std::string(source), Message("design.no_point")));
    return parsed;
}

std::string_view Design::Value(int point, std::size_t column) const {
    const std::size_t k = static_cast<std::size_t>(point - 1) * Columns.size() + column;
    const std::size_t start = k == 0 ? 0 : ends_.at(k - 1);
    return std::string_view(text_).substr(start, ends_.at(k) - start);
}

bool Design::AddPoint(std::int64_t line, const std::vector<std::string> &values) {
    std::size_t size = text_.size();
    for (const std::string &v : values) size += v.size();
    if (size > UINT32_MAX || line > UINT32_MAX) return false;
    for (const std::string &v : values) {
        text_ += v;
        ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
    lines_.push_back(static_cast<std::uint32_t>(line));
    return true;
}

void Design::Reserve(std::size_t points, std::size_t bytes) {
    text_.reserve(std::min<std::size_t>(bytes, UINT32_MAX));
    ends_.reserve(points * Columns.size());
    lines_.reserve(points);
}

void Design::Trim() {
    text_.shrink_to_fit();
    ends_.shrink_to_fit();
    lines_.shrink_to_fit();
}

void ApplyDesignPoint(const Design &design, int point, TSettings &settings) {
    for (std::size_t c = 0; c < design.Columns.size(); ++c)
        if (const std::string_view value = design.Value(point, c); !value.empty())
            ApplySetting(design.Columns[c], value, settings);
}

std::vector<std::string> DesignValues(const Design &design, const TSettings &pointSettings) {
    std::vector<std::string> values;
    for (const std::string &name : design.Columns) values.push_back(SettingText(name, pointSettings));
    return values;
}

}  // namespace glebix::core
