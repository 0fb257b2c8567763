// The estimators of the sensitivity indices, each with its bootstrap interval, on
// plain vectors: the table's reading and its failed runs are Indices.h's affair.
//
// Bootstrap: B resamples, with replacement, of the estimator's independent units (the
// base rows of a Saltelli sample, the trajectories of a Morris sample, the points
// otherwise), drawn with Draws from the seed given; the interval is the 2.5 % and
// 97.5 % quantiles of the B estimates (linear interpolation between order statistics,
// R's type 7). Resamples whose estimate is not a number are left out of the quantiles.
#pragma once

#include <cstdint>
#include <vector>

namespace glebix::analysis {

// An index: its estimate and its 95 % bootstrap interval; NaN where it has none.
struct Estimate {
    double Value = 0;
    double Low = 0;
    double High = 0;
};

// The 2.5 % and 97.5 % quantiles of `values` (reordered), with `value` as estimate.
Estimate WithInterval(double value, std::vector<double> &values);

struct SaltelliResult {
    std::vector<Estimate> First;  // S1, one per factor
    std::vector<Estimate> Total;  // ST
};

// First-order indices by Saltelli et al. (2010), "Variance based sensitivity analysis
// of model output. Design and estimator for the total sensitivity index", Computer
// Physics Communications 181, 259-270, their table 2 (b):
//     S1_i = mean_j f(B)_j (f(AB_i)_j - f(A)_j) / V,
// and total indices by Jansen (1999), "Analysis of variance designs for model output",
// Computer Physics Communications 117, 35-43 (Saltelli et al. 2010, table 2 (f)):
//     ST_i = mean_j (f(A)_j - f(AB_i)_j)^2 / 2 / V,
// V the variance of f(A) and f(B) together. `a`, `b` hold f(A)_j and f(B)_j; `ab`
// holds f(AB_i)_j at j * k + i. The bootstrap resamples the rows j, with terms
// computed once per row.
SaltelliResult SaltelliIndices(const std::vector<double> &a, const std::vector<double> &b,
                               const std::vector<double> &ab, std::size_t k, int resamples, std::uint64_t seed);

struct MorrisResult {
    std::vector<Estimate> Mu, MuStar, Sigma;  // one per factor
};

// The elementary effects' mean mu, the mean of their absolute values mu_star
// (Campolongo, Cariboni and Saltelli 2007, "An effective screening design for
// sensitivity analysis of large models", Environmental Modelling & Software 22,
// 1509-1518) and their standard deviation sigma (Morris 1991, "Factorial sampling
// plans for preliminary computational experiments", Technometrics 33, 161-174; with
// n - 1). `effects` holds trajectory t's effect of factor i at t * k + i, each
// already scaled by the factor's range; NaN where a trajectory has none. The bootstrap
// resamples the trajectories.
MorrisResult MorrisIndices(const std::vector<double> &effects, std::size_t k, int resamples, std::uint64_t seed);

struct RegressionResult {
    std::vector<Estimate> Prcc, Src;  // one per factor
};

// Partial rank correlation coefficients and standardised regression coefficients of
// y on the k factors (Saltelli and Marivoet 1990, "Non-parametric statistics in
// sensitivity analysis for model output", Reliability Engineering & System Safety 28,
// 229-253; Marino et al. 2008, "A methodology for performing global uncertainty and
// sensitivity analysis in systems biology", Journal of Theoretical Biology 254,
// 178-196). PRCC_i = -P_iy / sqrt(P_ii P_yy) with P the inverse of the correlation
// matrix of the ranks (mid-ranks for ties) of the factors and y; SRC the solution of
// R_xx s = r_xy on the values themselves. `x` holds point p's factor i at p * k + i.
// The bootstrap resamples the points as counts, ranking a resample from the ranks'
// order of the whole sample.
RegressionResult RegressionIndices(const std::vector<double> &x, const std::vector<double> &y, std::size_t k,
                                   int resamples, std::uint64_t seed);

// The share of the variance of replicated values that lies between replicates of one
// point: sum_p ss_p / (sum_p ss_p + sum_p n_p (mean_p - mean)^2), with n_p the
// point's replicates, mean_p their mean and ss_p their sum of squared deviations. The
// bootstrap resamples the points.
Estimate NoiseShare(const std::vector<double> &counts, const std::vector<double> &means,
                    const std::vector<double> &squares, int resamples, std::uint64_t seed);

}  // namespace glebix::analysis
