// The sensitivity indices of a table of results (ResultTable.h) of a design made by a
// sampler (Sampling.h), written as one tidy CSV:
//     metric,step,factor,index,estimate,low,high
// one row per metric, step (empty without a step column), factor and index, in that
// order; `index` one of S1, ST (saltelli), mu, mu_star, sigma (morris), PRCC, SRC
// (lhs, sobol, factorial), and noise_share (factor empty) when points have replicates;
// `low` and `high` the 95 % bootstrap interval (Estimators.h). Numbers are written in
// the shortest form that reads back to the same double (std::to_chars), `NA` for an
// index that cannot be estimated; no locale enters, so every front end writes the
// same bytes.
//
// The methods' units: a Saltelli base row (its k + 2 points), a Morris trajectory (its
// k + 1 points), a point otherwise. A unit one of whose points failed (a failed status,
// a missing metric, a point absent from the table) is dropped; more dropped than the
// share allowed refuses the analysis.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Factors.h"
#include "Sampling.h"

namespace glebix::analysis {

inline constexpr int DefaultResamples = 1000;
inline constexpr double DefaultMaxDropped = 0.05;
// A noise share above this makes an index whose interval holds 0 worth a warning.
inline constexpr double LargeNoiseShare = 0.5;

struct AnalysisRequest {
    Method Kind = Method::Saltelli;
    std::vector<Factor> Factors;
    std::vector<std::string> Metrics;
    int Resamples = DefaultResamples;  // B; 0: no intervals
    std::uint32_t Seed = 0;
    std::optional<std::int64_t> AtStep;  // the step taken; the table's last step when absent
    bool EveryStep = false;              // every step of the table instead
    double MaxDropped = DefaultMaxDropped;
};

struct AnalysisOutcome {
    std::string Csv;                    // the indices; empty when refused
    std::vector<std::string> Notes;     // the units dropped, by metric and step
    std::vector<std::string> Warnings;  // intervals holding 0 under a large noise share
    std::vector<std::string> Problems;  // any refuses the analysis (naming file, line, column)
};

// The indices of the table `text` read from `source`. Deterministic from the seed.
// When every metric asked is a run metric (RunMetrics.h: final_total, extinct, ...)
// that the table of steps has no column for, each run's metrics are computed from its
// rows first, and the indices are those of the runs (an empty step).
AnalysisOutcome AnalyseTable(std::string_view text, std::string_view source, const AnalysisRequest &request);

// "metric,step,factor,index,estimate,low,high\n".
std::string IndicesHeader();

// A number as the indices file writes it: shortest round trip, NA when not a number.
std::string IndexNumber(double x);

}  // namespace glebix::analysis
