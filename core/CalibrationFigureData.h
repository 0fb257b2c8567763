// What the calibration's figure shows (render/CalibrationFigure.h draws it): the
// accepted points of each factor with their weights and the prior's range, and for
// each observed summary the observation against the band of the accepted runs' values.
#pragma once

#include <string>
#include <vector>

namespace glebix::core {

struct CalibrationFigureData {
    struct Factor {
        std::string Name;
        double Low = 0, High = 1;    // the prior's bounds
        std::vector<double> Values;  // one per accepted point
    };
    // The observed summaries of one metric, at their steps (0 for a run's whole).
    struct Series {
        std::string Metric;
        std::vector<double> Steps, Observed, BandLow, BandHigh;
    };
    std::vector<Factor> Factors;
    std::vector<double> Weights;  // of the accepted points
    std::vector<Series> Predictive;
    // The panels' titles and the word before the steps' range, in the user's language.
    std::string MarginalTitle, PairsTitle, PredictiveTitle, StepWord;
};

// The posterior predictive band: these quantiles of the accepted runs' values.
inline constexpr double BandLowLevel = 0.05;
inline constexpr double BandHighLevel = 0.95;

}  // namespace glebix::core
