// The species values a run takes from its settings at set-up, fixed for the run
// (SettingsRegistry.h lists them with the settings they come from).
#pragma once

#include <cstdint>

namespace glebix {

// Species values taken from the settings at run set-up, fixed for the run.
struct RunSpecies {
    double Survival = 0;
    double Fecundity = 0;
    std::int32_t ResponseShape = 0;
    double ResponseOptimum = 0;
    double ResponseTolerance = 0;
    std::int32_t DispersalSensitivity = 0;
    double DispersalSigma = 0;
    double CompactionC = 0;
    double MortalityAlpha = 0;
};

}  // namespace glebix
