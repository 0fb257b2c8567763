// Models whose posterior is known exactly, for the estimators' tests.
#pragma once

#include <cmath>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "AbcDrive.h"
#include "AbcStatistics.h"
#include "CalibrationError.h"

namespace glebix::calibration::testing {

// The mean mu of DataSize normal observations of standard deviation 1, summarised by
// their sample mean. With a flat prior on [PriorLow, PriorHigh] far wider than the data's
// reach, the posterior is normal, of mean the observed sample mean and standard
// deviation 1 / sqrt(DataSize).
inline constexpr int DataSize = 20;
inline constexpr double PriorLow = -10, PriorHigh = 10;
inline constexpr double ObservedMean = 3;
inline constexpr double Normal975 = 1.959963984540054;
inline const double ExactSd = 1 / std::sqrt(static_cast<double>(DataSize));
inline const double ExactLow95 = ObservedMean - Normal975 * ExactSd;
inline const double ExactHigh95 = ObservedMean + Normal975 * ExactSd;

inline std::vector<Factor> MeanFactor() { return {{"mu", PriorLow, PriorHigh, FactorScale::Linear}}; }

inline Model NormalMeanModel(int *runs = nullptr) {
    return [runs](std::span<const double> values, std::uint32_t seed) {
        if (runs) ++*runs;
        Stream stream(seed);
        double sum = 0;
        for (int i = 0; i < DataSize; ++i) sum += values[0] + stream.Normal();
        return std::vector<double>{sum / DataSize};
    };
}

inline double Weighted(const Posterior &p, std::size_t factor, double level) {
    std::vector<double> values;
    for (std::size_t i = 0; i < p.Values.Rows; ++i) values.push_back(p.Values(i, factor));
    return level < 0 ? WeightedMean(values, p.Weights) : WeightedQuantile(values, p.Weights, level);
}

// The effective sample size of the weights, (sum w)^2 / sum w^2.
inline double EffectiveSize(const std::vector<double> &weights) {
    double sum = 0, squares = 0;
    for (double w : weights) sum += w, squares += w * w;
    return sum * sum / squares;
}

inline std::string KeyOf(const std::function<void()> &f) {
    try {
        f();
    } catch (const CalibrationError &e) { return e.Key(); }
    return "";
}

}  // namespace glebix::calibration::testing
