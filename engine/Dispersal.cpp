// Dispersal: every individual draws a normal displacement (Box-Muller) whose spread
// grows with its cell's crowding; the plot is a torus. The pass is synchronous: every
// cell disperses from its count at the start of the pass.
#include "Dispersal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <thread>

#include "Conversions.h"
#include "Crowding.h"
#include "FastDispersal.h"
#include "FloatChecks.h"
#include "Habitat.h"
#include "Simul.h"
#include "Threads.h"

namespace glebix {

namespace {

DispersalCell PrepareCell(const TPlot &plot, const RunSpecies &species, int i, int j, bool unitGrowth) {
    DispersalCell cell;
    cell.N = plot.Density[i][j];
    // The capacity is worked out for every cell, empty ones too, so a capacity that
    // does not fit ends the pass at its cell whatever the cell holds. With a crowding
    // factor of exactly 1 it matters only through that fault and, by a negative excess,
    // through the check of the base below: neither can come from a share from 0 to
    // 2^61 divisors (a capacity from 0 to 2^61) and a count below the largest.
    const double compacted = plot.Env[i][j].Compacted;
    const double c =
        CellValue(plot.Soil.CompactionC, species.CompactionC, static_cast<std::size_t>(i) * plot.Height + j);
    const bool capacityUnused = unitGrowth && compacted >= 0 && compacted < 0x1p61L * (c + 0.00001L) &&
                                cell.N < std::numeric_limits<std::int32_t>::max();
    Crowding crowding;  // excess 0
    if (!capacityUnused) crowding = CellCrowding(compacted, c, 0.00001L, cell.N);
    if (cell.N <= 0) return cell;
    if (plot.CellSize == 0) ThrowFloatFault(MsgDivisionByZero);
    // S depends on the cell only, so it is computed once per cell. A finite positive
    // base to the power 0 is exactly 1 (exp(0 x ln base)), and then the base matters
    // only for its check, which a non-negative excess passes.
    double growth = 1.0;
    if (!unitGrowth || crowding.Excess < 0) {
        const double base = 1.0 + (crowding.Excess + 0.00001) / (cell.N + 0.00001);
        if (!(base > 0)) ThrowFloatFault(base == 0 ? MsgDivisionByZero : MsgInvalidOperation);
        if (!unitGrowth) growth = std::exp(species.DispersalSensitivity * std::log(base));
        if (std::isinf(growth)) ThrowFloatFault(MsgOverflow);
    }
    cell.S = species.DispersalSigma * growth;
    if (!std::isfinite(cell.S)) ThrowFloatFault(std::isnan(cell.S) ? MsgInvalidOperation : MsgOverflow);
    cell.CellSize = plot.CellSize;
    return cell;
}

}  // namespace

DispersalCell PrepareDispersalCell(const TPlot &plot, const RunSpecies &species, int i, int j) {
    return PrepareCell(plot, species, i, j, species.DispersalSensitivity == 0);
}

DispersalCell PrepareDispersalCellReference(const TPlot &plot, const RunSpecies &species, int i, int j) {
    return PrepareCell(plot, species, i, j, false);
}

void Simul::SetDispersalThreads(int count) { dispersalThreads_ = std::max(count, 0); }

int Simul::DispersalThreads() const {
    if (dispersalThreads_ > 0) return dispersalThreads_;
    static const int processors = AvailableProcessors();
    return processors;
}

// The fast pass, with the same results as DisperseReference, on the step's threads
// and work grids.
void Simul::Disperse() { DisperseFast(false); }

void Simul::DisperseFast(bool plainForm) {
    if (fastDispersal_ && fastDispersal_->Busy()) {
        // Started from the event processing of a pass under way: the fast pass's
        // grids are taken, the reference has its own.
        DisperseReference();
        return;
    }
    if (!fastDispersal_) fastDispersal_ = std::make_shared<FastDispersal>();
    Emigrants = fastDispersal_->Run(Step(), Plot, Species, RandomSeed, ProcessMessages, plainForm);
    Lost = TakeOffNonHabitat(Plot);
}

void Simul::DisperseReference() {
    if (!stayers_ || stayers_->Size() != static_cast<std::size_t>(Plot.Cells())) {
        stayers_ = std::make_unique<CellGrid<std::int32_t>>(Plot.Width, Plot.Height);
        arrivals_ = std::make_unique<CellGrid<std::int32_t>>(Plot.Width, Plot.Height);
    }
    CellGrid<std::int32_t> &stayers = *stayers_, &arrivals = *arrivals_;
    std::fill_n(stayers.Data(), stayers.Size(), 0);
    std::fill_n(arrivals.Data(), arrivals.Size(), 0);
    std::int64_t emigrants = 0;
    for (int i = 0; i < Plot.Width; ++i) {
        for (int j = 0; j < Plot.Height; ++j) {
            Yield();
            const DispersalCell cell = PrepareDispersalCellReference(Plot, Species, i, j);
            std::int32_t moved = 0;
            for (std::int32_t k = 0; k < cell.N; ++k) {
                const std::uint32_t state1 = NextRandom(RandomSeed);  // U1, then U2
                RandomSeed = NextRandom(state1);
                std::int64_t di = 0, dj = 0;
                if (const MessageKey fault = ExactOffsets(state1, RandomSeed, cell.S, cell.CellSize, di, dj))
                    ThrowFloatFault(fault);
                if (di == 0 && dj == 0) continue;  // stays
                const int to = DestinationOf(Plot, i, j, di, dj);
                if (to < 0)
                    ++emigrants;
                else
                    arrivals.Data()[to] += 1;
                ++moved;
            }
            stayers[i][j] = std::max(cell.N - moved, 0);
        }
    }
    for (std::size_t c = 0; c < stayers.Size(); ++c)
        Plot.Density.Data()[c] = Narrow32(static_cast<std::int64_t>(stayers.Data()[c]) + arrivals.Data()[c]);
    Emigrants = emigrants;
    Lost = TakeOffNonHabitat(Plot);
}

}  // namespace glebix
