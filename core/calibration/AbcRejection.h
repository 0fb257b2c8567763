// Calibration by rejection: the candidates closest to the observations are kept, then
// adjusted by a local-linear regression on their summaries, and summarised per factor.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "AbcDistance.h"
#include "AbcPrior.h"
#include "AbcStatistics.h"

namespace glebix::calibration {

// None: the kept values as they are, each of weight 1 (plain rejection).
// LocalLinear: Beaumont, Zhang and Balding's adjustment, with Epanechnikov weights.
enum class Adjustment { None, LocalLinear };

// The scale the regression works on, per factor:
//   Working: the factor's own working scale (the logarithm for a logarithmic factor);
//     an adjusted value may leave the prior's bounds.
//   Logit: the logit of the position within the bounds on the working scale, so that
//     every adjusted value stays inside the prior (abc's transf = "logit").
enum class AdjustScale { Working, Logit };

struct RejectionSettings {
    double AcceptFraction = 0.1;  // in (0, 1]
    Adjustment Adjust = Adjustment::LocalLinear;
    AdjustScale Scale = AdjustScale::Logit;
};

// The kept candidates, closest first.
struct Posterior {
    std::vector<Factor> Factors;
    Matrix Values;      // kept x factors, adjusted, each on its own scale
    Matrix Unadjusted;  // the same before the adjustment
    std::vector<double> Weights;
    std::vector<double> Distances;
    std::vector<CandidateId> Ids;
    double Tolerance = 0;            // the largest kept distance
    std::size_t CandidateCount = 0;  // the candidates it was chosen from (a sequential one: its runs)
    std::size_t FaultedRuns = 0;
};

// Keeps the ceil(q n) candidates of smallest distance among the n given (q the accept
// fraction); equal distances are kept in the candidates' order, so the earlier row wins a
// tie at the edge. Refuses a fraction outside (0, 1], parameters of another width than
// the factors, and no candidate at all.
Posterior Reject(const Candidates &candidates, std::span<const Factor> factors, const RejectionSettings &settings);

// Beaumont, Zhang and Balding's adjustment of a weighted sample (its Weights; empty: each
// 1), whose Unadjusted values, Distances and Tolerance are set: each weight is multiplied
// by the Epanechnikov kernel of its distance at the tolerance, and the Values are the
// Unadjusted ones regressed on `deviations` (a row per value) with these weights.
void AdjustLocalLinear(Posterior &posterior, const Matrix &deviations, AdjustScale scale);

struct FactorSummary {
    std::string Factor;
    double Median = 0, Mean = 0, Low50 = 0, High50 = 0, Low95 = 0, High95 = 0;
};

// Each factor's weighted mean and weighted quantiles (WeightedQuantile) of levels 0.5,
// 0.25, 0.75, 0.025 and 0.975, on the factor's own scale.
std::vector<FactorSummary> Summarise(const Posterior &posterior);

}  // namespace glebix::calibration
