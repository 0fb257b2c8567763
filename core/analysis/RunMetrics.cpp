#include "RunMetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "Conversions.h"
#include "DesignFile.h"
#include "Indices.h"
#include "Messages.h"
#include "SettingsTable.h"
#include "StudyTable.h"

namespace glebix::analysis {

namespace {

using core::Message;

constexpr std::string_view TimeMean = "time_mean_";
constexpr char WindowMark = '@', WindowTo = ':';
constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

// A metric's name taken apart: the step column it reads, and its window of steps.
struct MetricName {
    std::string column;
    bool timeMean = false;
    std::optional<std::int64_t> from, to;
};

std::optional<std::int64_t> WindowStep(std::string_view text) {
    const auto step = core::ParseCount(std::string(text), 0);
    return step ? std::optional<std::int64_t>(*step) : std::nullopt;
}

MetricName Reads(std::string column, bool timeMean = false) {
    MetricName m;
    m.column = std::move(column);
    m.timeMean = timeMean;
    return m;
}

std::optional<MetricName> ParseMetric(std::string_view name) {
    if (name == "final_total" || name == "extinct" || name == "extinction_step") return Reads("total_density");
    if (name == "final_compacted") return Reads("mean_compacted");
    if (name == core::OccupiedShareColumn) return Reads(core::OccupiedShareColumn);
    if (name.substr(0, TimeMean.size()) != TimeMean || name.size() == TimeMean.size()) return std::nullopt;
    MetricName m = Reads(std::string(name.substr(TimeMean.size())), true);
    const std::size_t mark = m.column.find(WindowMark);
    if (mark == std::string::npos) return m;
    const std::string window = m.column.substr(mark + 1);
    m.column.resize(mark);
    const std::size_t to = window.find(WindowTo);
    if (m.column.empty() || to == std::string::npos) return std::nullopt;
    m.from = WindowStep(std::string_view(window).substr(0, to));
    m.to = WindowStep(std::string_view(window).substr(to + 1));
    if (!m.from || !m.to || *m.from > *m.to) return std::nullopt;
    return m;
}

// The step column each metric reads.
std::string ColumnOf(const std::string &metric) { return ParseMetric(metric)->column; }

// One run's rows, as they come.
struct Run {
    std::string key;                          // "point,replicate"
    std::vector<std::string> first;           // the kept fields of its first row, then status
    std::vector<std::int64_t> steps;          // of its rows
    std::vector<std::vector<double>> values;  // per metric column, per row; NaN: missing
};

bool AnyMissing(const std::vector<double> &v) {
    return v.empty() || std::any_of(v.begin(), v.end(), [](double x) { return std::isnan(x); });
}

double WindowMean(const MetricName &m, const std::vector<std::int64_t> &steps, const std::vector<double> &v) {
    if (steps.empty() || steps.back() < *m.to) return NotANumber;
    std::vector<double> inside;
    for (std::size_t r = 0; r < v.size(); ++r)
        if (steps[r] >= *m.from && steps[r] <= *m.to) inside.push_back(v[r]);
    if (AnyMissing(inside)) return NotANumber;
    double sum = 0;
    for (double x : inside) sum += x;
    return sum / static_cast<double>(inside.size());
}

// The metric over a run's steps `steps`, `v` holding its column's value at each.
double MetricOf(const std::string &metric, const std::vector<std::int64_t> &steps, const std::vector<double> &v) {
    const MetricName m = *ParseMetric(metric);
    if (m.to) return WindowMean(m, steps, v);
    if (AnyMissing(v)) return NotANumber;
    if (!m.timeMean && metric != "extinct" && metric != "extinction_step") return v.back();
    if (metric == "extinct") return std::any_of(v.begin(), v.end(), [](double x) { return x == 0; }) ? 1 : 0;
    if (metric == "extinction_step") {
        for (std::size_t r = 0; r < v.size(); ++r)
            if (v[r] == 0) return static_cast<double>(steps[r]);
        return static_cast<double>(steps.back() + 1);
    }
    double sum = 0;
    for (double x : v) sum += x;
    return sum / static_cast<double>(v.size());
}

int Column(const std::vector<std::string> &header, const std::string &name) {
    const auto found = std::find(header.begin(), header.end(), name);
    return found == header.end() ? -1 : static_cast<int>(found - header.begin());
}

}  // namespace

bool IsRunMetric(std::string_view name) { return ParseMetric(name).has_value(); }

bool IsRecordedMetric(std::string_view name) {
    const auto m = ParseMetric(name);
    return m && core::StepColumnValue(core::StepRecord{}, m->column).has_value();
}

RunMetricsRecorder::RunMetricsRecorder(std::vector<std::string> names)
    : names_(std::move(names)), values_(names_.size()) {
    for (const std::string &name : names_) columns_.push_back(ColumnOf(name));
}

void RunMetricsRecorder::Add(std::int64_t step, const core::StepRecord &record) {
    steps_.push_back(step);
    for (std::size_t m = 0; m < names_.size(); ++m)
        values_[m].push_back(core::StepColumnValue(record, columns_[m]).value_or(NotANumber));
}

std::vector<double> RunMetricsRecorder::Values(bool completed) const {
    std::vector<double> out(names_.size(), NotANumber);
    if (!completed) return out;
    for (std::size_t m = 0; m < names_.size(); ++m) out[m] = MetricOf(names_[m], steps_, values_[m]);
    return out;
}

std::string RunMetricsRecorder::Fields(bool completed) const {
    std::string out;
    for (const double v : Values(completed)) out += (out.empty() ? "" : ",") + IndexNumber(v);
    return out;
}

namespace {

// Where the columns lie in the table.
struct RunColumns {
    std::vector<std::string> header;
    int point = -1, replicate = -1, step = -1, status = -1;
    std::vector<int> kept, metrics;
};

void ReadHeader(const std::vector<std::string> &fields, const std::vector<std::string> &kept,
                const std::vector<std::string> &metrics, const std::string &where, RunColumns &c,
                std::vector<std::string> &problems) {
    c.header = fields;
    c.point = Column(fields, "point");
    c.replicate = Column(fields, "replicate");
    c.step = Column(fields, "step");
    c.status = Column(fields, "status");
    for (const char *needed : {"point", "step"})
        if (Column(fields, needed) < 0) problems.push_back(where + Message("table.missing_column", {needed}));
    for (const std::string &k : kept) {
        c.kept.push_back(Column(fields, k));
        if (c.kept.back() < 0) problems.push_back(where + Message("table.missing_factor", {k}));
    }
    for (const std::string &m : metrics) {
        c.metrics.push_back(Column(fields, ColumnOf(m)));
        if (c.metrics.back() < 0) problems.push_back(where + Message("table.missing_metric", {ColumnOf(m)}));
    }
}

// One row into its run (a new run when its point or replicate changes).
void ReadRow(const std::vector<std::string> &fields, const RunColumns &c, const std::vector<std::string> &metrics,
             const std::string &where, std::vector<Run> &runs, std::vector<std::string> &problems) {
    const auto field = [&fields](int column) -> const std::string & {
        return fields[static_cast<std::size_t>(column)];
    };
    const std::string key = field(c.point) + "," + (c.replicate >= 0 ? field(c.replicate) : std::string("1"));
    if (runs.empty() || runs.back().key != key) {
        runs.push_back({key, {}, {}, std::vector<std::vector<double>>(metrics.size())});
        for (int k : c.kept) runs.back().first.push_back(field(k));
        if (c.status >= 0) runs.back().first.push_back(field(c.status));
    }
    const auto s = core::ParseCount(field(c.step), 0);
    if (!s) {
        problems.push_back(where + Message("design.column", {"step"}) + Message("table.bad_step", {field(c.step)}));
        return;
    }
    runs.back().steps.push_back(*s);
    for (std::size_t m = 0; m < metrics.size(); ++m) {
        const std::string &text = field(c.metrics[m]);
        const auto v = ParseRealToken(text);
        if (!v && !(text.empty() || text == "NA" || text == "nan")) {
            problems.push_back(where + Message("design.column", {ColumnOf(metrics[m])}) +
                               Message("table.metric_not_number", {text}));
            return;
        }
        runs.back().values[m].push_back(v ? *v : NotANumber);
    }
}

std::string RunsText(const std::vector<Run> &runs, bool status, const std::vector<std::string> &kept,
                     const std::vector<std::string> &metrics) {
    std::string out = "point,replicate";
    for (const std::string &k : kept) out += "," + core::CsvField(k);
    if (status) out += ",status";
    for (const std::string &m : metrics) out += "," + core::CsvField(m);
    out += '\n';
    for (const Run &run : runs) {
        out += run.key;
        for (const std::string &f : run.first) out += "," + core::CsvField(f);
        for (std::size_t m = 0; m < metrics.size(); ++m)
            out += "," + IndexNumber(MetricOf(metrics[m], run.steps, run.values[m]));
        out += '\n';
    }
    return out;
}

}  // namespace

RunMetricsTable RunMetricsOf(std::string_view text, std::string_view source, const std::vector<std::string> &kept,
                             const std::vector<std::string> &metrics) {
    RunMetricsTable out;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    RunColumns columns;
    std::vector<std::string> fields;
    std::vector<Run> runs;
    for (std::int64_t line = 1; !text.empty() && out.Problems.empty(); ++line) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        const std::size_t first = row.find_first_not_of(" \t");
        if (first == std::string_view::npos || row[first] == '#') continue;
        const std::string where = std::string(source) + ":" + std::to_string(line) + ": ";
        if (auto problem = core::SplitCsvLine(row, fields))
            out.Problems.push_back(where + *problem);
        else if (columns.header.empty())
            ReadHeader(fields, kept, metrics, where, columns, out.Problems);
        else if (fields.size() != columns.header.size())
            out.Problems.push_back(where + Message("design.field_count", {std::to_string(fields.size()),
                                                                          std::to_string(columns.header.size())}));
        else
            ReadRow(fields, columns, metrics, where, runs, out.Problems);
    }
    if (out.Problems.empty()) out.Text = RunsText(runs, columns.status >= 0, kept, metrics);
    return out;
}

}  // namespace glebix::analysis
