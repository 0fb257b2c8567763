// The time step and its first process, reproduction, with the count draw that
// reproduction and survival share.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "Conversions.h"
#include "FloatChecks.h"
#include "CellShare.h"
#include "Events.h"
#include "Simul.h"
#include "StepResources.h"
#include "TrialCount.h"

namespace glebix {

void Simul::TimeStep() { StepWith(false); }

void Simul::TimeStepReference() { StepWith(true); }

void Simul::StepWith(bool plainForms) {
    ++StepsBegun;
    if (Events) ApplyEvents(*this, *Events, StepsBegun);
    plainForms ? ReproduceReference() : Reproduce();
    // The order of mortality and dispersal is read once per step.
    if (Settings.Species.DispersalFirst) {
        DisperseFast(plainForms);
        plainForms ? ApplySurvivalReference() : ApplySurvival();
    } else {
        plainForms ? ApplySurvivalReference() : ApplySurvival();
        DisperseFast(plainForms);
    }
    ++environmentUpdates_;  // before it: a failure within it may leave the soil half changed
    UpdateEnvironment();    // always last: it sees the counts the step left
}

StepResources &Simul::Step() {
    if (!step_ || step_->ThreadCount() != DispersalThreads())
        step_ = std::make_shared<StepResources>(DispersalThreads());
    step_->UsePlot(Plot.Width, Plot.Height);
    return *step_;
}

CellShare &Simul::Share() {
    if (!share_) share_ = std::make_unique<CellShare>();
    return *share_;
}

std::int32_t Simul::DrawCount(std::int32_t count, double p) {
    if (count > MaxDrawnTrials) return Narrow32(Nearest(static_cast<long double>(count) * p));
    if (count <= 0) return 0;
    std::int32_t successes = 0;
    for (std::int32_t t = 0; t < count; ++t)
        if (RandomUniform() <= p) ++successes;
    return successes;
}

void Simul::ReproduceReference() {
    const long double fecundity = Species.Fecundity;
    for (int i = 0; i < Plot.Width; ++i) {
        for (int j = 0; j < Plot.Height; ++j) {
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

// The plain definition for one cell, drawing from `state`, with the response worked
// out only where births depend on it, or where it could raise a fault, which must
// come at its cell.
void Simul::BreedCell(int cell, std::uint32_t &state) {
    const double optimum = Species.ResponseOptimum, tolerance = Species.ResponseTolerance;
    const double compacted = Plot.Env.Data()[cell].Compacted;
    const long double fecundity = Species.Fecundity;
    std::int32_t &count = Plot.Density.Data()[cell];
    const std::int32_t n = count;
    long double x;
    if (Settings.Species.FecundityEnvSensitive) {
        x = Checked(n * fecundity * EnvResponse(optimum, tolerance, compacted));
    } else {
        if (!(std::fabs(compacted) <= pass_.ResponseSureLimit)) EnvResponse(optimum, tolerance, compacted);
        x = Checked(n * fecundity);
    }
    const std::int64_t whole = Truncate(x);
    const double fraction = StoreDouble(x - whole);
    state = NextRandom(state);
    const __int128 total = static_cast<__int128>(n) + whole + (UniformOf(state) <= fraction ? 1 : 0);
    count =
        static_cast<std::int32_t>(std::clamp<__int128>(total, std::numeric_limits<std::int32_t>::min(), DensityCap));
}

void Simul::Reproduce() {
    pass_.ResponseSureLimit = EnvResponseSureLimit(Species.ResponseOptimum, Species.ResponseTolerance);
    if (ShareCells()) {
        Share().Run(Step(), Plot, RandomSeed, &BreedSharedCells, nullptr, this);
        return;
    }
    for (int cell = 0, cells = Plot.Cells(); cell < cells; ++cell) {
        Yield();
        BreedCell(cell, RandomSeed);
    }
}

void Simul::BreedSharedCells(void *self, int &cell, int end, std::uint32_t &state, int) {
    for (Simul &s = *static_cast<Simul *>(self); cell < end; ++cell) s.BreedCell(cell, state);
}

}  // namespace glebix
