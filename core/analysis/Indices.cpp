#include "Indices.h"

#include <algorithm>
#include <cmath>

#include "Conversions.h"
#include "DesignFile.h"
#include "Draws.h"
#include "Estimators.h"
#include "Messages.h"
#include "ResultTable.h"
#include "RunMetrics.h"
#include "StudyTable.h"

namespace glebix::analysis {

namespace {

using core::Message;

// A metric's own seed part, from its name, so that a metric's intervals do not depend
// on the other metrics asked.
std::uint64_t NameHash(std::string_view name) {
    std::uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
    for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    return h;
}

// The noise share's bootstrap draws apart from the indices'.
constexpr std::uint64_t NoiseStream = 0x4E015E;

std::string Where(std::string_view source, std::int64_t line, const std::string &column) {
    return std::string(source) + ":" + std::to_string(line) + ": " + Message("design.column", {column});
}

// What the design's structure gives the estimators, checked once for every metric.
struct Structure {
    std::size_t units = 0, perUnit = 1;
    // Morris: trajectory t's step s (from 1) moved factor MovedFactor[t * k + s - 1]
    // (-1: none, a whole factor rounded to the same value) by Moved[...] of its range.
    std::vector<int> movedFactor;
    std::vector<double> moved;
};

double FactorValue(const ResultTable &t, std::size_t point, std::size_t i) {
    return t.FactorValues[point * t.Factors + i];
}

bool Present(const ResultTable &t, std::size_t point) { return t.PointLine[point] != 0; }

void CheckSaltelli(const ResultTable &t, const AnalysisRequest &r, std::string_view source, Structure &s,
                   std::vector<std::string> &problems) {
    const std::size_t k = r.Factors.size();
    for (std::size_t j = 0; j < s.units; ++j) {
        const std::size_t a = j * s.perUnit, b = a + k + 1;
        for (std::size_t i = 0; i < k; ++i) {
            const std::size_t ab = a + 1 + i;
            if (!Present(t, a) || !Present(t, b) || !Present(t, ab)) continue;
            for (std::size_t c = 0; c < k; ++c) {
                const double expected = FactorValue(t, c == i ? b : a, c);
                if (FactorValue(t, ab, c) == expected) continue;
                problems.push_back(Where(source, t.PointLine[ab], r.Factors[c].Name) +
                                   Message("table.saltelli_order", {std::to_string(ab + 1), std::to_string(k)}));
                return;
            }
        }
    }
}

void CheckMorris(const ResultTable &t, const AnalysisRequest &r, std::string_view source, Structure &s,
                 std::vector<std::string> &problems) {
    const std::size_t k = r.Factors.size();
    s.movedFactor.assign(s.units * k, -1);
    s.moved.assign(s.units * k, 0.0);
    for (std::size_t u = 0; u < s.units; ++u) {
        std::vector<bool> seen(k, false);
        for (std::size_t step = 1; step <= k; ++step) {
            const std::size_t p = u * s.perUnit + step;
            if (!Present(t, p) || !Present(t, p - 1)) continue;
            for (std::size_t i = 0; i < k; ++i) {
                const Factor &f = r.Factors[i];
                const double before = FactorValue(t, p - 1, i), after = FactorValue(t, p, i);
                if (before == after) continue;
                int &moved = s.movedFactor[u * k + step - 1];
                if (moved >= 0 || seen[i]) {
                    problems.push_back(Where(source, t.PointLine[p], f.Name) +
                                       Message("table.morris_order", {std::to_string(p + 1), std::to_string(k)}));
                    return;
                }
                moved = static_cast<int>(i);
                seen[i] = true;
                s.moved[u * k + step - 1] =
                    (OnScale(f, after) - OnScale(f, before)) / (OnScale(f, f.High) - OnScale(f, f.Low));
            }
        }
    }
}

std::optional<Structure> CheckStructure(const ResultTable &t, const AnalysisRequest &r, std::string_view source,
                                        std::vector<std::string> &problems) {
    Structure s;
    s.perUnit = PointsPerUnit(r.Kind, r.Factors.size());
    if (t.PointCount % s.perUnit != 0) {
        problems.push_back(core::Labelled(
            std::string(source),
            Message("table.point_count",
                    {std::to_string(t.PointCount), std::string(MethodName(r.Kind)), std::to_string(s.perUnit)})));
        return std::nullopt;
    }
    s.units = t.PointCount / s.perUnit;
    if (r.Kind == Method::Saltelli) CheckSaltelli(t, r, source, s, problems);
    if (r.Kind == Method::Morris) CheckMorris(t, r, source, s, problems);
    if (!problems.empty()) return std::nullopt;
    return s;
}

// One metric at one step: its rows of the indices file.
struct Batch {
    const AnalysisRequest &request;
    const ResultTable &table;
    const Structure &structure;
    std::string metric, stepText;
    std::uint64_t seed;
    AnalysisOutcome &outcome;
    std::vector<std::pair<std::string, Estimate>> rows;  // "factor,index" and the estimate

    void Add(const std::string &factor, const char *index, const Estimate &e) {
        rows.emplace_back(core::CsvField(factor) + "," + index, e);
    }
};

// The units whose points all have a value.
std::vector<std::size_t> ValidUnits(const PointValues &v, const Structure &s) {
    std::vector<std::size_t> valid;
    for (std::size_t u = 0; u < s.units; ++u) {
        bool whole = true;
        for (std::size_t q = 0; q < s.perUnit && whole; ++q) whole = !std::isnan(v.Mean[u * s.perUnit + q]);
        if (whole) valid.push_back(u);
    }
    return valid;
}

void Saltelli(Batch &b, const PointValues &v, const std::vector<std::size_t> &units) {
    const std::size_t k = b.request.Factors.size();
    std::vector<double> fa, fb, fab;
    for (std::size_t u : units) {
        const std::size_t a = u * b.structure.perUnit;
        fa.push_back(v.Mean[a]);
        fb.push_back(v.Mean[a + k + 1]);
        for (std::size_t i = 0; i < k; ++i) fab.push_back(v.Mean[a + 1 + i]);
    }
    const SaltelliResult r = SaltelliIndices(fa, fb, fab, k, b.request.Resamples, b.seed);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "S1", r.First[i]);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "ST", r.Total[i]);
}

void Morris(Batch &b, const PointValues &v, const std::vector<std::size_t> &units) {
    const std::size_t k = b.request.Factors.size();
    std::vector<double> effects(units.size() * k, std::numeric_limits<double>::quiet_NaN());
    for (std::size_t n = 0; n < units.size(); ++n) {
        const std::size_t u = units[n];
        for (std::size_t step = 1; step <= k; ++step) {
            const int i = b.structure.movedFactor[u * k + step - 1];
            if (i < 0) continue;
            const std::size_t p = u * b.structure.perUnit + step;
            effects[n * k + static_cast<std::size_t>(i)] =
                (v.Mean[p] - v.Mean[p - 1]) / b.structure.moved[u * k + step - 1];
        }
    }
    const MorrisResult r = MorrisIndices(effects, k, b.request.Resamples, b.seed);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "mu", r.Mu[i]);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "mu_star", r.MuStar[i]);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "sigma", r.Sigma[i]);
}

void Regression(Batch &b, const PointValues &v, const std::vector<std::size_t> &units) {
    const std::size_t k = b.request.Factors.size();
    std::vector<double> x, y;
    for (std::size_t p : units) {
        for (std::size_t i = 0; i < k; ++i) x.push_back(FactorValue(b.table, p, i));
        y.push_back(v.Mean[p]);
    }
    const RegressionResult r = RegressionIndices(x, y, k, b.request.Resamples, b.seed);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "PRCC", r.Prcc[i]);
    for (std::size_t i = 0; i < k; ++i) b.Add(b.request.Factors[i].Name, "SRC", r.Src[i]);
}

// With replicates: the noise share, and a warning for the indices it leaves unsure.
void Noise(Batch &b, const PointValues &v) {
    std::vector<double> counts, means, squares;
    for (std::size_t p = 0; p < v.Count.size(); ++p) {
        if (v.Count[p] == 0) continue;
        counts.push_back(v.Count[p]);
        means.push_back(v.Mean[p]);
        squares.push_back(v.Squares[p]);
    }
    const Estimate noise = NoiseShare(counts, means, squares, b.request.Resamples, b.seed ^ NoiseStream);
    std::string unsure;
    if (noise.Value > LargeNoiseShare)
        for (const auto &[name, e] : b.rows)
            if (e.Low <= 0 && e.High >= 0) unsure += (unsure.empty() ? "" : "; ") + name;
    b.rows.emplace_back(",noise_share", noise);
    if (!unsure.empty())
        b.outcome.Warnings.push_back(
            Message("analysis.noisy", {b.metric, b.stepText, IndexNumber(noise.Value), unsure}));
}

void AnalyseOne(Batch &b, const PointValues &v) {
    const std::vector<std::size_t> valid = ValidUnits(v, b.structure);
    const std::size_t units = b.structure.units, dropped = units - valid.size();
    const std::string at = b.stepText.empty() ? b.metric : b.metric + " (" + b.stepText + ")";
    if (static_cast<double>(dropped) > b.request.MaxDropped * static_cast<double>(units) || valid.size() < 2) {
        b.outcome.Problems.push_back(
            Message("analysis.too_many_dropped",
                    {at, std::to_string(dropped), std::to_string(units), IndexNumber(b.request.MaxDropped)}));
        return;
    }
    if (dropped > 0)
        b.outcome.Notes.push_back(Message("analysis.dropped", {at, std::to_string(dropped), std::to_string(units)}));
    switch (b.request.Kind) {
    case Method::Saltelli:
        Saltelli(b, v, valid);
        break;
    case Method::Morris:
        Morris(b, v, valid);
        break;
    default:
        Regression(b, v, valid);
    }
    if (v.Replicated()) Noise(b, v);
    for (const auto &[name, e] : b.rows) {
        std::string &out = b.outcome.Csv;
        out += core::CsvField(b.metric) + "," + b.stepText + "," + name + "," + IndexNumber(e.Value) + "," +
               IndexNumber(e.Low) + "," + IndexNumber(e.High) + "\n";
    }
}

std::optional<std::vector<std::int64_t>> StepsAsked(const ResultTable &t, const AnalysisRequest &r,
                                                    std::string_view source, std::vector<std::string> &problems) {
    const std::vector<std::int64_t> steps = t.Steps();
    if (!t.HasSteps) {
        if (r.AtStep || r.EveryStep) {
            problems.push_back(core::Labelled(std::string(source), Message("table.no_step_column")));
            return std::nullopt;
        }
        return steps;
    }
    if (r.EveryStep) return steps;
    if (!r.AtStep) return std::vector<std::int64_t>{steps.back()};
    if (!std::binary_search(steps.begin(), steps.end(), *r.AtStep)) {
        problems.push_back(
            core::Labelled(std::string(source), Message("table.no_such_step", {std::to_string(*r.AtStep)})));
        return std::nullopt;
    }
    return std::vector<std::int64_t>{*r.AtStep};
}

// The header's fields of a table: its first line that is not blank nor a comment.
std::vector<std::string> HeaderOf(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> fields;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        const std::size_t first = row.find_first_not_of(" \t");
        if (first == std::string_view::npos || row[first] == '#') continue;
        if (core::SplitCsvLine(row, fields)) fields.clear();
        break;
    }
    return fields;
}

// Whether the metrics asked are all run metrics (RunMetrics.h) of a table of steps
// that has no column of those names.
bool AsksRunMetrics(std::string_view text, const AnalysisRequest &r) {
    const std::vector<std::string> header = HeaderOf(text);
    const auto has = [&header](const std::string &n) {
        return std::find(header.begin(), header.end(), n) != header.end();
    };
    if (!has("step")) return false;
    return std::all_of(r.Metrics.begin(), r.Metrics.end(),
                       [&](const std::string &m) { return IsRunMetric(m) && !has(m); });
}

}  // namespace

std::string IndicesHeader() { return "metric,step,factor,index,estimate,low,high\n"; }

std::string IndexNumber(double x) { return std::isnan(x) ? "NA" : FormatShortest(x); }

AnalysisOutcome AnalyseTable(std::string_view text, std::string_view source, const AnalysisRequest &request) {
    AnalysisOutcome outcome;
    std::vector<std::string> names;
    for (const Factor &f : request.Factors) names.push_back(f.Name);
    if (!request.Metrics.empty() && AsksRunMetrics(text, request)) {
        // One row per run, its metrics over its steps: then a table without steps.
        RunMetricsTable runs = RunMetricsOf(text, source, names, request.Metrics);
        outcome.Problems = std::move(runs.Problems);
        if (!outcome.Problems.empty()) return outcome;
        return AnalyseTable(runs.Text, source, request);
    }
    ParsedTable parsed = ParseResultTable(text, source, names, request.Metrics);
    outcome.Problems = std::move(parsed.Problems);
    if (!outcome.Problems.empty()) return outcome;
    const ResultTable &table = parsed.Table;
    const auto structure = CheckStructure(table, request, source, outcome.Problems);
    const auto steps = StepsAsked(table, request, source, outcome.Problems);
    if (!structure || !steps) return outcome;
    outcome.Csv = IndicesHeader();
    for (const std::int64_t step : *steps) {
        const std::vector<PointValues> values = ValuesAtStep(table, step);
        for (std::size_t m = 0; m < request.Metrics.size(); ++m) {
            const std::string &metric = request.Metrics[m];
            Batch b{request,
                    table,
                    *structure,
                    metric,
                    table.HasSteps ? std::to_string(step) : "",
                    MixSeed(request.Seed, NameHash(metric), static_cast<std::uint64_t>(step)),
                    outcome,
                    {}};
            AnalyseOne(b, values[m]);
        }
    }
    if (!outcome.Problems.empty()) outcome.Csv.clear();
    return outcome;
}

}  // namespace glebix::analysis
