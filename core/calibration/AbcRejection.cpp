// The regression adjustment is that of Beaumont, Zhang and Balding (2002), "Approximate
// Bayesian computation in population genetics", Genetics 162:2025-2035: each kept
// parameter theta_i (on the adjustment's scale) is regressed on its scaled summaries'
// deviations from the observed ones, d_i, by least squares weighted with the
// Epanechnikov kernel K_i = 1 - (distance_i / tolerance)^2, and replaced by
// theta_i - d_i' beta.
#include "AbcRejection.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "CalibrationError.h"

namespace glebix::calibration {

namespace {

void CheckRejection(const Candidates &candidates, std::span<const Factor> factors, const RejectionSettings &s) {
    if (!(s.AcceptFraction > 0 && s.AcceptFraction <= 1))
        throw CalibrationError("calibration.accept_fraction", {NumberText(s.AcceptFraction)});
    CheckFactors(factors);
    if (candidates.Parameters.Cols != factors.size())
        throw CalibrationError("calibration.parameter_count",
                               {CountText(candidates.Parameters.Cols), CountText(factors.size())});
    if (candidates.Distances.empty())
        throw CalibrationError("calibration.none_accepted", {CountText(candidates.FaultedRuns)});
}

// The Epanechnikov weights of the kept distances times their prior weights; the prior
// weights alone when every kept candidate sits at the tolerance (the kernel would give
// them all 0).
std::vector<double> EpanechnikovWeights(std::span<const double> distances, double tolerance,
                                        std::span<const double> prior) {
    std::vector<double> weights;
    for (std::size_t i = 0; i < distances.size(); ++i) {
        const double d = distances[i];
        weights.push_back(prior[i] * (tolerance > 0 ? 1 - (d / tolerance) * (d / tolerance) : 1.0));
    }
    if (std::accumulate(weights.begin(), weights.end(), 0.0) <= 0) weights.assign(prior.begin(), prior.end());
    return weights;
}

double ToAdjusted(const Factor &f, AdjustScale scale, double value) {
    const double working = ToWorking(f, value);
    return scale == AdjustScale::Logit ? ToLogit(f, working) : working;
}

double FromAdjusted(const Factor &f, AdjustScale scale, double adjusted) {
    if (scale == AdjustScale::Logit) return FromWorking(f, FromLogit(f, adjusted));
    // On the working scale a logarithmic factor's value stays positive, whatever its bounds.
    return f.Scale == FactorScale::Log ? std::exp(adjusted) : adjusted;
}

// Replaces posterior.Values by their regression-adjusted values.
void RegressOnDeviations(Posterior &posterior, const Matrix &deviations, AdjustScale scale) {
    const std::size_t n = deviations.Rows, k = deviations.Cols + 1;  // intercept first
    Matrix normal(k, k);
    const auto design = [&](std::size_t i, std::size_t a) { return a == 0 ? 1.0 : deviations(i, a - 1); };
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t a = 0; a < k; ++a)
            for (std::size_t b = 0; b < k; ++b) normal(a, b) += posterior.Weights[i] * design(i, a) * design(i, b);
    const Cholesky normalFactor(normal);
    for (std::size_t f = 0; f < posterior.Factors.size(); ++f) {
        const Factor &factor = posterior.Factors[f];
        std::vector<double> theta(n), rhs(k, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            theta[i] = ToAdjusted(factor, scale, posterior.Unadjusted(i, f));
            for (std::size_t a = 0; a < k; ++a) rhs[a] += posterior.Weights[i] * design(i, a) * theta[i];
        }
        const std::vector<double> beta = normalFactor.Solve(rhs);
        for (std::size_t i = 0; i < n; ++i) {
            double shift = 0;
            for (std::size_t a = 1; a < k; ++a) shift += design(i, a) * beta[a];
            posterior.Values(i, f) = FromAdjusted(factor, scale, theta[i] - shift);
        }
    }
}

}  // namespace

void AdjustLocalLinear(Posterior &posterior, const Matrix &deviations, AdjustScale scale) {
    if (posterior.Weights.empty()) posterior.Weights.assign(posterior.Unadjusted.Rows, 1.0);
    posterior.Weights = EpanechnikovWeights(posterior.Distances, posterior.Tolerance, posterior.Weights);
    RegressOnDeviations(posterior, deviations, scale);
}

Posterior Reject(const Candidates &candidates, std::span<const Factor> factors, const RejectionSettings &settings) {
    CheckRejection(candidates, factors, settings);
    const std::size_t n = candidates.Distances.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return candidates.Distances[a] < candidates.Distances[b]; });
    const auto kept = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::ceil(settings.AcceptFraction * static_cast<double>(n))), 1, n);
    Posterior out;
    out.Factors.assign(factors.begin(), factors.end());
    out.CandidateCount = n;
    out.FaultedRuns = candidates.FaultedRuns;
    Matrix deviations;
    deviations.Cols = candidates.Deviations.Cols;
    out.Unadjusted.Cols = factors.size();
    for (std::size_t k = 0; k < kept; ++k) {
        const std::size_t i = order[k];
        out.Unadjusted.AppendRow(candidates.Parameters.Row(i));
        deviations.AppendRow(candidates.Deviations.Row(i));
        out.Distances.push_back(candidates.Distances[i]);
        out.Ids.push_back(candidates.Ids[i]);
    }
    out.Tolerance = out.Distances.back();
    out.Values = out.Unadjusted;
    if (settings.Adjust == Adjustment::None) {
        out.Weights.assign(kept, 1.0);
        return out;
    }
    AdjustLocalLinear(out, deviations, settings.Scale);
    return out;
}

namespace {
constexpr double MedianLevel = 0.5, Low50Level = 0.25, High50Level = 0.75, Low95Level = 0.025, High95Level = 0.975;
}  // namespace

std::vector<FactorSummary> Summarise(const Posterior &posterior) {
    std::vector<FactorSummary> out;
    for (std::size_t f = 0; f < posterior.Factors.size(); ++f) {
        std::vector<double> values;
        for (std::size_t i = 0; i < posterior.Values.Rows; ++i) values.push_back(posterior.Values(i, f));
        const auto q = [&](double p) { return WeightedQuantile(values, posterior.Weights, p); };
        out.push_back({posterior.Factors[f].Name, q(MedianLevel), WeightedMean(values, posterior.Weights),
                       q(Low50Level), q(High50Level), q(Low95Level), q(High95Level)});
    }
    return out;
}

}  // namespace glebix::calibration
