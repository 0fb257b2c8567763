// Mortality: base mortality, raised by crowding beyond the cell's capacity.
#include <algorithm>
#include <cstdint>

#include "Conversions.h"
#include "Crowding.h"
#include "FloatChecks.h"
#include "MortalityCache.h"
#include "Simul.h"
#include "TrialCount.h"

namespace glebix {

// ((E + 0.0001) / (a + 0.0001)) ^ alpha, held between the base mortality and 1.
double Simul::CrowdedMortality(std::int32_t exposed, std::int32_t excess) const {
    const long double alpha = Species.MortalityAlpha;
    const long double baseMortality = 1.0L - Species.Survival;
    const long double q = Exp(Checked(alpha * Ln(Divide(excess + 0.0001L, exposed + 0.0001L))));
    return StoreDouble(std::min(1.0L, std::max(baseMortality, q)));
}

void Simul::ApplySurvivalReference() {
    const long double baseMortality = 1.0L - Species.Survival;
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            Yield();
            const std::int32_t n = Plot.Density[i][j];
            const std::int32_t a = std::min(n, DensityCap);  // individuals exposed
            const Crowding crowding = CellCrowding(Plot.Env[i][j].Compacted, Species.CompactionC, 0.0001L, a);
            double p = 0;
            if (Settings.Species.SurvivalEnvSensitive && crowding.Excess > 0)
                p = CrowdedMortality(a, crowding.Excess);
            else
                p = StoreDouble(baseMortality);
            const std::int32_t deaths = DrawCount(a, p);
            Plot.Density[i][j] = Narrow32(std::min<std::int64_t>(static_cast<std::int64_t>(n) - deaths, DensityCap));
        }
    }
}

// DrawCount with the trials of a cell compared all at once.
std::int32_t Simul::DrawDeaths(std::int32_t exposed, double p) {
    if (exposed > MaxDrawnTrials || exposed <= 0) return DrawCount(exposed, p);
    const std::int32_t deaths = CountSuccesses(RandomSeed, exposed, p);
    RandomSeed = StateAfterTrials(RandomSeed, exposed);
    return deaths;
}

// The plain definition with crowded mortalities kept by their inputs.
void Simul::ApplySurvival() {
    if (!mortality_) mortality_ = std::make_unique<MortalityCache>();
    mortality_->Use(Species.MortalityAlpha, Species.Survival);
    const long double baseMortality = 1.0L - Species.Survival;
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            Yield();
            const std::int32_t n = Plot.Density[i][j];
            const std::int32_t a = std::min(n, DensityCap);
            const Crowding crowding = CellCrowding(Plot.Env[i][j].Compacted, Species.CompactionC, 0.0001L, a);
            double p = 0;
            if (Settings.Species.SurvivalEnvSensitive && crowding.Excess > 0) {
                if (const double *kept = mortality_->Find(a, crowding.Excess)) {
                    p = *kept;
                } else {
                    p = CrowdedMortality(a, crowding.Excess);
                    mortality_->Keep(a, crowding.Excess, p);
                }
            } else {
                p = StoreDouble(baseMortality);
            }
            const std::int32_t deaths = DrawDeaths(a, p);
            Plot.Density[i][j] = Narrow32(std::min<std::int64_t>(static_cast<std::int64_t>(n) - deaths, DensityCap));
        }
    }
}

}  // namespace glebix
