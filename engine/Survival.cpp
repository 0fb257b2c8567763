// Mortality: base mortality, raised by crowding beyond the cell's capacity.
#include <algorithm>
#include <cstdint>

#include "Conversions.h"
#include "FloatChecks.h"
#include "Simul.h"

namespace glebix {

void Simul::ApplySurvival() {
    const long double guardedC = Species.CompactionC + 0.0001L;  // keeps the capacity finite for C = 0
    const long double alpha = Species.MortalityAlpha;
    const long double baseMortality = 1.0L - Species.Survival;
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            Yield();
            const std::int32_t n = Plot.Density[i][j];
            const std::int32_t a = std::min(n, DensityCap);  // individuals exposed
            const std::int64_t capacity = Truncate(Divide(Plot.Env[i][j].Compacted, guardedC));
            // The + 1 makes a cell holding exactly its capacity already one over it.
            const std::int64_t over =
                static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + 1u - static_cast<std::uint64_t>(capacity));
            const std::int32_t excess = Narrow32(std::max<std::int64_t>(0, over));
            long double p = baseMortality;
            if (Settings.Species.SurvivalEnvSensitive && excess > 0) {
                const long double q = Exp(Checked(alpha * Ln(Divide(excess + 0.0001L, a + 0.0001L))));
                p = std::min(1.0L, std::max(baseMortality, q));
            }
            const std::int32_t deaths = DrawCount(a, StoreDouble(p));
            Plot.Density[i][j] = Narrow32(std::min<std::int64_t>(static_cast<std::int64_t>(n) - deaths, DensityCap));
        }
    }
}

}  // namespace glebix
