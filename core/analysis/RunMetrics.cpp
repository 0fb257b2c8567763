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

using batch::Message;

constexpr std::string_view TimeMean = "time_mean_";
constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

// The step column each metric reads.
std::string ColumnOf(const std::string &metric) {
    if (metric == "final_total" || metric == "extinct" || metric == "extinction_step") return "total_density";
    if (metric == "final_compacted") return "mean_compacted";
    return metric.substr(TimeMean.size());
}

// One run's rows, as they come.
struct Run {
    std::string key;                          // "point,replicate"
    std::vector<std::string> first;           // the kept fields of its first row, then status
    std::vector<std::int64_t> steps;          // of its rows
    std::vector<std::vector<double>> values;  // per metric column, per row; NaN: missing
};

double MetricOf(const std::string &metric, const Run &run, const std::vector<double> &v) {
    if (v.empty() || std::any_of(v.begin(), v.end(), [](double x) { return std::isnan(x); })) return NotANumber;
    if (metric == "final_total" || metric == "final_compacted") return v.back();
    if (metric == "extinct") return std::any_of(v.begin(), v.end(), [](double x) { return x == 0; }) ? 1 : 0;
    if (metric == "extinction_step") {
        for (std::size_t r = 0; r < v.size(); ++r)
            if (v[r] == 0) return static_cast<double>(run.steps[r]);
        return static_cast<double>(run.steps.back() + 1);
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

bool IsRunMetric(std::string_view name) {
    return name == "final_total" || name == "final_compacted" || name == "extinct" || name == "extinction_step" ||
           (name.substr(0, TimeMean.size()) == TimeMean && name.size() > TimeMean.size());
}

RunMetricsTable RunMetricsOf(std::string_view text, std::string_view source, const std::vector<std::string> &kept,
                             const std::vector<std::string> &metrics) {
    RunMetricsTable out;
    const auto where = [&](std::int64_t line) { return std::string(source) + ":" + std::to_string(line) + ": "; };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> header, fields;
    std::vector<int> keptColumns, metricColumns;
    int point = -1, replicate = -1, step = -1, status = -1;
    std::vector<Run> runs;
    for (std::int64_t line = 1; !text.empty() && out.Problems.empty(); ++line) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (row.find_first_not_of(" \t") == std::string_view::npos || row[row.find_first_not_of(" \t")] == '#')
            continue;
        if (auto problem = batch::SplitCsvLine(row, fields)) {
            out.Problems.push_back(where(line) + *problem);
            break;
        }
        if (header.empty()) {
            header = fields;
            point = Column(header, "point");
            replicate = Column(header, "replicate");
            step = Column(header, "step");
            status = Column(header, "status");
            for (const char *needed : {"point", "step"})
                if (Column(header, needed) < 0)
                    out.Problems.push_back(where(line) + Message("table.missing_column", {needed}));
            for (const std::string &k : kept) {
                keptColumns.push_back(Column(header, k));
                if (keptColumns.back() < 0) out.Problems.push_back(where(line) + Message("table.missing_factor", {k}));
            }
            for (const std::string &m : metrics) {
                metricColumns.push_back(Column(header, ColumnOf(m)));
                if (metricColumns.back() < 0)
                    out.Problems.push_back(where(line) + Message("table.missing_metric", {ColumnOf(m)}));
            }
            continue;
        }
        if (fields.size() != header.size()) {
            out.Problems.push_back(where(line) + Message("design.field_count", {std::to_string(fields.size()),
                                                                                std::to_string(header.size())}));
            break;
        }
        const std::string key = fields[static_cast<std::size_t>(point)] + "," +
                                (replicate >= 0 ? fields[static_cast<std::size_t>(replicate)] : std::string("1"));
        if (runs.empty() || runs.back().key != key) {
            runs.push_back({key, {}, {}, std::vector<std::vector<double>>(metrics.size())});
            for (int c : keptColumns) runs.back().first.push_back(fields[static_cast<std::size_t>(c)]);
            if (status >= 0) runs.back().first.push_back(fields[static_cast<std::size_t>(status)]);
        }
        const auto s = batch::ParseCount(fields[static_cast<std::size_t>(step)], 0);
        if (!s) {
            out.Problems.push_back(where(line) + Message("design.column", {"step"}) +
                                   Message("table.bad_step", {fields[static_cast<std::size_t>(step)]}));
            break;
        }
        runs.back().steps.push_back(*s);
        for (std::size_t m = 0; m < metrics.size(); ++m) {
            const std::string &field = fields[static_cast<std::size_t>(metricColumns[m])];
            const auto v = ParseRealToken(field);
            if (!v && !(field.empty() || field == "NA" || field == "nan")) {
                out.Problems.push_back(where(line) + Message("design.column", {ColumnOf(metrics[m])}) +
                                       Message("table.metric_not_number", {field}));
                break;
            }
            runs.back().values[m].push_back(v ? *v : NotANumber);
        }
    }
    if (!out.Problems.empty()) return out;
    out.Text = "point,replicate";
    for (const std::string &k : kept) out.Text += "," + batch::CsvField(k);
    if (status >= 0) out.Text += ",status";
    for (const std::string &m : metrics) out.Text += "," + batch::CsvField(m);
    out.Text += '\n';
    for (const Run &run : runs) {
        out.Text += run.key;
        for (const std::string &f : run.first) out.Text += "," + batch::CsvField(f);
        for (std::size_t m = 0; m < metrics.size(); ++m)
            out.Text += "," + IndexNumber(MetricOf(metrics[m], run, run.values[m]));
        out.Text += '\n';
    }
    return out;
}

}  // namespace glebix::analysis
