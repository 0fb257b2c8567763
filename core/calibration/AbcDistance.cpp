// The scaling by the median absolute deviation over the prior runs follows Csilléry,
// François and Blum (2012), "abc: an R package for approximate Bayesian computation",
// Methods in Ecology and Evolution 3:475-479 (the abc package's mad() scaling).
#include "AbcDistance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "CalibrationError.h"

namespace glebix::calibration {

namespace {

double Median(std::vector<double> values) {
    const std::size_t n = values.size();
    std::sort(values.begin(), values.end());
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

SummaryScale ScaleOf(const std::vector<double> &column) {
    if (column.empty()) return {0, ScaleRule::Constant};
    const double median = Median(column);
    std::vector<double> deviations;
    double sum = 0;
    for (double v : column) {
        deviations.push_back(std::fabs(v - median));
        sum += deviations.back();
    }
    const double mad = Median(deviations);
    if (mad > 0) return {MadToSd * mad, ScaleRule::Mad};
    if (sum > 0) return {MadToSd * sum / static_cast<double>(column.size()), ScaleRule::MeanDeviation};
    return {0, ScaleRule::Constant};
}

}  // namespace

bool Faulted(std::span<const double> summaries) {
    return std::any_of(summaries.begin(), summaries.end(), [](double v) { return !std::isfinite(v); });
}

std::vector<SummaryScale> SummaryScales(const Matrix &summaries) {
    std::vector<std::vector<double>> columns(summaries.Cols);
    for (std::size_t r = 0; r < summaries.Rows; ++r) {
        if (Faulted(summaries.Row(r))) continue;
        for (std::size_t c = 0; c < summaries.Cols; ++c) columns[c].push_back(summaries(r, c));
    }
    std::vector<SummaryScale> scales;
    for (const auto &column : columns) scales.push_back(ScaleOf(column));
    return scales;
}

std::vector<double> ScaledDeviations(std::span<const double> summaries, std::span<const double> observed,
                                     std::span<const SummaryScale> scales) {
    std::vector<double> out(summaries.size(), 0.0);
    for (std::size_t c = 0; c < summaries.size(); ++c)
        if (scales[c].Rule != ScaleRule::Constant) out[c] = (summaries[c] - observed[c]) / scales[c].Scale;
    return out;
}

double DistanceOf(std::span<const double> summaries, std::span<const double> observed,
                  std::span<const SummaryScale> scales) {
    if (summaries.size() != observed.size() || scales.size() != observed.size())
        throw CalibrationError("calibration.summary_count", {CountText(summaries.size()), CountText(observed.size())});
    if (Faulted(summaries)) return std::numeric_limits<double>::quiet_NaN();
    double sum = 0;
    for (double d : ScaledDeviations(summaries, observed, scales)) sum += d * d;
    return std::sqrt(sum);
}

void CheckObserved(std::span<const double> observed, std::size_t summaries) {
    if (observed.size() != summaries)
        throw CalibrationError("calibration.observed_count", {CountText(observed.size()), CountText(summaries)});
    for (std::size_t c = 0; c < observed.size(); ++c)
        if (!std::isfinite(observed[c])) throw CalibrationError("calibration.observed_missing", {CountText(c + 1)});
}

namespace {

void CheckRuns(const PriorRuns &runs) {
    const std::size_t n = runs.Parameters.Rows;
    for (const std::size_t size : {runs.Summaries.Rows, runs.Points.size(), runs.Seeds.size()})
        if (size != n) throw CalibrationError("calibration.run_count", {CountText(size), CountText(n)});
}

// Adds the runs `rows` (all of one point, or one run) as one candidate, when one did
// not fault; counts those that did.
void AddCandidate(const PriorRuns &runs, const std::vector<std::size_t> &rows, std::span<const double> observed,
                  Candidates &out) {
    std::vector<double> deviations(observed.size(), 0.0);
    double distance = 0;
    CandidateId id{rows.front(), runs.Points[rows.front()], 0, 0};
    for (std::size_t r : rows) {
        const auto summaries = runs.Summaries.Row(r);
        if (Faulted(summaries)) {
            ++out.FaultedRuns;
            continue;
        }
        if (id.Runs++ == 0) id.Seed = runs.Seeds[r];
        const auto d = ScaledDeviations(summaries, observed, out.Scales);
        for (std::size_t c = 0; c < d.size(); ++c) deviations[c] += d[c];
        distance += DistanceOf(summaries, observed, out.Scales);
    }
    if (id.Runs == 0) return;
    for (double &d : deviations) d /= static_cast<double>(id.Runs);
    out.Parameters.AppendRow(runs.Parameters.Row(rows.front()));
    out.Deviations.AppendRow(deviations);
    out.Distances.push_back(distance / static_cast<double>(id.Runs));
    out.Ids.push_back(id);
}

}  // namespace

Candidates CandidatesOf(const PriorRuns &runs, std::span<const double> observed, bool averageReplicates,
                        std::span<const double> givenScales) {
    CheckRuns(runs);
    CheckObserved(observed, runs.Summaries.Cols);
    Candidates out;
    out.Parameters.Cols = runs.Parameters.Cols;
    out.Deviations.Cols = observed.size();
    out.Scales = SummaryScales(runs.Summaries);
    for (std::size_t c = 0; c < givenScales.size() && c < out.Scales.size(); ++c)
        if (givenScales[c] > 0 && std::isfinite(givenScales[c])) out.Scales[c] = {givenScales[c], ScaleRule::Given};
    if (!averageReplicates) {
        for (std::size_t r = 0; r < runs.Parameters.Rows; ++r) AddCandidate(runs, {r}, observed, out);
        return out;
    }
    std::vector<std::vector<std::size_t>> groups;
    std::map<std::int64_t, std::size_t> groupOf;
    for (std::size_t r = 0; r < runs.Parameters.Rows; ++r) {
        const auto [at, added] = groupOf.emplace(runs.Points[r], groups.size());
        if (added) groups.emplace_back();
        groups[at->second].push_back(r);
    }
    for (const auto &rows : groups) AddCandidate(runs, rows, observed, out);
    return out;
}

}  // namespace glebix::calibration
