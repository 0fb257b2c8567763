// Mortality: base mortality, raised by crowding beyond the cell's capacity.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "CellShare.h"
#include "Conversions.h"
#include "Crowding.h"
#include "StepResources.h"
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
    for (int i = 0; i < Plot.Width; ++i) {
        for (int j = 0; j < Plot.Height; ++j) {
            Yield();
            const std::int32_t n = Plot.Density[i][j];
            const std::int32_t a = std::min(n, DensityCap);  // individuals exposed
            const double c = CellValue(Plot.Soil.CompactionC, Species.CompactionC, i * Plot.Height + j);
            const Crowding crowding = CellCrowding(Plot.Env[i][j].Compacted, c, 0.0001L, a);
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

// The plain definition for one cell, drawing from `state`: crowded mortalities are
// kept by their inputs, and the trials are compared all at once.
void Simul::SurviveCell(int cell, std::uint32_t &state, MortalityCache &kept) {
    std::int32_t &count = Plot.Density.Data()[cell];
    const std::int32_t n = count;
    const std::int32_t a = std::min(n, DensityCap);
    const double c = CellValue(Plot.Soil.CompactionC, Species.CompactionC, cell);
    const Crowding crowding = CellCrowding(Plot.Env.Data()[cell].Compacted, c, 0.0001L, a);
    double p = 0;
    if (Settings.Species.SurvivalEnvSensitive && crowding.Excess > 0) {
        if (const double *known = kept.Find(a, crowding.Excess)) {
            p = *known;
        } else {
            p = CrowdedMortality(a, crowding.Excess);
            kept.Keep(a, crowding.Excess, p);
        }
    } else {
        p = pass_.BaseStored ? pass_.BaseMortality : StoreDouble(1.0L - Species.Survival);  // raises its fault
    }
    std::int32_t deaths = 0;
    if (a > MaxDrawnTrials) {
        deaths = Narrow32(Nearest(static_cast<long double>(a) * p));
    } else if (a > 0) {
        deaths = CountSuccesses(state, a, p);
        state = StateAfterTrials(state, a);
    }
    count = Narrow32(std::min<std::int64_t>(static_cast<std::int64_t>(n) - deaths, DensityCap));
}

void Simul::ApplySurvival() {
    // One table of kept mortalities per thread, made at the first survival.
    const std::size_t threads = static_cast<std::size_t>(DispersalThreads());
    if (mortality_.size() != threads) {
        mortality_.clear();
        for (std::size_t t = 0; t < threads; ++t) mortality_.push_back(std::make_unique<MortalityCache>());
    }
    for (auto &kept : mortality_) kept->Use(Species.MortalityAlpha, Species.Survival);
    const long double base = 1.0L - Species.Survival;
    pass_.BaseStored = std::fabs(base) <= static_cast<long double>(DBL_MAX);  // stored as it is, no fault
    pass_.BaseMortality = static_cast<double>(base);
    const int cells = Plot.Cells();
    if (ShareCells()) {
        Share().Run(Step(), Plot, RandomSeed, &SurviveSharedCells, &SurvivalDraws, this);
        return;
    }
    for (int cell = 0; cell < cells; ++cell) {
        Yield();
        SurviveCell(cell, RandomSeed, *mortality_[0]);
    }
}

// The trials SurviveCell draws for a cell.
std::uint32_t Simul::SurvivalDraws(void *self, int cell) {
    const std::int32_t a = std::min(static_cast<Simul *>(self)->Plot.Density.Data()[cell], DensityCap);
    return a >= 1 && a <= MaxDrawnTrials ? static_cast<std::uint32_t>(a) : 0u;
}

void Simul::SurviveSharedCells(void *self, int &cell, int end, std::uint32_t &state, int thread) {
    Simul &s = *static_cast<Simul *>(self);
    MortalityCache &kept = *s.mortality_[thread];
    for (; cell < end; ++cell) s.SurviveCell(cell, state, kept);
}

}  // namespace glebix
