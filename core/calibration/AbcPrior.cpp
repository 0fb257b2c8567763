#include "AbcPrior.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "CalibrationError.h"

namespace glebix::calibration {

void CheckFactors(std::span<const Factor> factors) {
    if (factors.empty()) throw CalibrationError("calibration.no_factor", {});
    std::set<std::string> names;
    for (const Factor &f : factors) {
        if (!names.insert(f.Name).second) throw CalibrationError("calibration.factor_twice", {f.Name});
        const bool logOk = f.Scale == FactorScale::Linear || f.Low > 0;
        if (!std::isfinite(f.Low) || !std::isfinite(f.High) || !(f.Low < f.High) || !logOk)
            throw CalibrationError("calibration.bounds", {f.Name, NumberText(f.Low), NumberText(f.High)});
    }
}

double ToWorking(const Factor &factor, double value) {
    return factor.Scale == FactorScale::Log ? std::log(value) : value;
}

double FromWorking(const Factor &factor, double working) {
    if (factor.Scale == FactorScale::Linear) return working;
    // exp(log(high)) may round above high: the bounds stay bounds.
    return std::clamp(std::exp(working), factor.Low, factor.High);
}

double WorkingLow(const Factor &factor) { return ToWorking(factor, factor.Low); }
double WorkingHigh(const Factor &factor) { return ToWorking(factor, factor.High); }

bool InSupport(const Factor &factor, double working) {
    return working >= WorkingLow(factor) && working <= WorkingHigh(factor);
}

double ToLogit(const Factor &factor, double working) {
    const double position = (working - WorkingLow(factor)) / (WorkingHigh(factor) - WorkingLow(factor));
    const double inside = std::clamp(position, LogitBoundMargin, 1 - LogitBoundMargin);
    return std::log(inside / (1 - inside));
}

double FromLogit(const Factor &factor, double logit) {
    const double position = 1 / (1 + std::exp(-logit));
    const double low = WorkingLow(factor), high = WorkingHigh(factor);
    return std::clamp(low + position * (high - low), low, high);
}

}  // namespace glebix::calibration
