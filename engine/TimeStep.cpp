// The time step and its first process, reproduction, with the count draw that
// reproduction and survival share.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "Conversions.h"
#include "FloatChecks.h"
#include "Simul.h"

namespace glebix {

void Simul::TimeStep() {
    Reproduce();
    // The order of mortality and dispersal is read once per step.
    if (Settings.Species.DispersalFirst) {
        Disperse();
        ApplySurvival();
    } else {
        ApplySurvival();
        Disperse();
    }
    UpdateEnvironment();  // always last: it sees the counts the step left
}

std::int32_t Simul::DrawCount(std::int32_t count, double p) {
    if (count > 100) return Narrow32(Nearest(static_cast<long double>(count) * p));
    if (count <= 0) return 0;
    std::int32_t successes = 0;
    for (std::int32_t t = 0; t < count; ++t)
        if (RandomUniform() <= p) ++successes;
    return successes;
}

void Simul::Reproduce() {
    const long double fecundity = Species.Fecundity;
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            Yield();
            const double r = EnvResponse(Species.ResponseOptimum, Species.ResponseTolerance, Plot.Env[i][j].Compacted);
            const std::int32_t n = Plot.Density[i][j];
            // Expected offspring; its whole part is born for certain, one more with
            // the probability of its fraction (exactly one draw per cell).
            const long double x = Checked(Settings.Species.FecundityEnvSensitive ? n * fecundity * r : n * fecundity);
            const std::int64_t whole = Truncate(x);
            const double fraction = StoreDouble(x - whole);
            const __int128 total = static_cast<__int128>(n) + whole + DrawCount(1, fraction);
            // Capped at DensityCap; a negative expectation (negative counts or fecundity)
            // is held at the lowest count rather than wrapping into a huge one.
            Plot.Density[i][j] = static_cast<std::int32_t>(
                std::clamp<__int128>(total, std::numeric_limits<std::int32_t>::min(), DensityCap));
        }
    }
}

}  // namespace glebix
