// The prior of a calibration: each factor (Factor.h, the sensitivity analysis's own)
// uniform between its bounds, on its own scale (linear, or logarithmic: uniform in the
// logarithm). The estimators work on the
// "working" scale, where the prior is flat: the value itself, or its natural logarithm.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "Factor.h"

namespace glebix::calibration {

using glebix::Factor;
using glebix::FactorScale;

// Refuses an empty list, a name given twice, bounds not finite or not increasing, and a
// logarithmic factor whose low bound is not above 0.
void CheckFactors(std::span<const Factor> factors);

double ToWorking(const Factor &factor, double value);
double FromWorking(const Factor &factor, double working);
double WorkingLow(const Factor &factor);
double WorkingHigh(const Factor &factor);
bool InSupport(const Factor &factor, double working);

// The logit of the position of a working value between the working bounds, and back:
// the unbounded scale on which an adjustment cannot leave the prior. A value on a bound
// is first moved inside by LogitBoundMargin of the range, so that its logit is finite.
inline constexpr double LogitBoundMargin = 1e-9;
double ToLogit(const Factor &factor, double working);
double FromLogit(const Factor &factor, double logit);

}  // namespace glebix::calibration
