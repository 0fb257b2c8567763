// Dispersal: every individual draws a normal displacement (Box-Muller) whose spread
// grows with its cell's crowding; the plot is a torus. The pass is synchronous: every
// cell disperses from its count at the start of the pass.
#include "Dispersal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <thread>

#include "Conversions.h"
#include "FastDispersal.h"
#include "FloatChecks.h"
#include "Simul.h"
#include "Threads.h"

namespace glebix {

DispersalCell PrepareDispersalCell(const TPlot &plot, const RunSpecies &species, int i, int j) {
    DispersalCell cell;
    cell.N = plot.Density[i][j];
    // The capacity is worked out for every cell, empty ones too, so a capacity that
    // does not fit ends the pass at its cell whatever the cell holds.
    const std::int64_t capacity =
        Truncate(Divide(plot.Env[i][j].Compacted, species.CompactionC + 0.00001L));  // its own guard
    if (cell.N <= 0) return cell;
    if (plot.CellSize == 0) ThrowFloatFault(MsgDivisionByZero);
    const std::int64_t over =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(cell.N) + 1u - static_cast<std::uint64_t>(capacity));
    const std::int32_t excess = Narrow32(std::max<std::int64_t>(over, 0));
    // S depends on the cell only, so it is computed once per cell.
    const double base = 1.0 + (excess + 0.00001) / (cell.N + 0.00001);
    if (!(base > 0)) ThrowFloatFault(base == 0 ? MsgDivisionByZero : MsgInvalidOperation);
    const double growth = std::exp(species.DispersalSensitivity * std::log(base));
    if (std::isinf(growth)) ThrowFloatFault(MsgOverflow);
    cell.S = species.DispersalSigma * growth;
    if (!std::isfinite(cell.S)) ThrowFloatFault(std::isnan(cell.S) ? MsgInvalidOperation : MsgOverflow);
    cell.CellSize = plot.CellSize;
    return cell;
}

void ThrowOffsetFault(double value) { ThrowFloatFault(std::isinf(value) ? MsgOverflow : MsgInvalidOperation); }

void Simul::SetDispersalThreads(int count) { dispersalThreads_ = std::max(count, 0); }

int Simul::DispersalThreads() const {
    if (dispersalThreads_ > 0) return dispersalThreads_;
    static const int processors = AvailableProcessors();
    return processors;
}

// The fast pass, with the same results as DisperseReference. Its threads and work
// grids are made at the first pass (or after a change of thread count) and kept.
void Simul::Disperse() {
    if (fastDispersal_ && fastDispersal_->Busy()) {
        // Started from the event processing of a pass under way: the fast pass's
        // grids are taken, the reference has its own.
        DisperseReference();
        return;
    }
    if (!fastDispersal_ || fastDispersal_->ThreadCount() != DispersalThreads())
        fastDispersal_ = std::make_shared<FastDispersal>(DispersalThreads());
    fastDispersal_->Run(Plot, Species, RandomSeed, ProcessMessages);
}

void Simul::DisperseReference() {
    std::memset(Stayers, 0, sizeof Stayers);
    std::memset(Arrivals, 0, sizeof Arrivals);
    for (int i = 0; i < GridSide; ++i) {
        for (int j = 0; j < GridSide; ++j) {
            Yield();
            const DispersalCell cell = PrepareDispersalCell(Plot, Species, i, j);
            std::int32_t moved = 0;
            for (std::int32_t k = 0; k < cell.N; ++k) {
                const double u1 = RandomUniform();
                const double theta = 2.0 * u1 * DispersalPi;
                const double u2 = RandomUniform();
                const double radius = std::sqrt(-2.0 * std::log(std::max(u2, 0.001)));
                const std::int64_t di = DispersalOffset(std::cos(theta) * radius * cell.S / cell.CellSize);
                const std::int64_t dj = DispersalOffset(std::sin(theta) * radius * cell.S / cell.CellSize);
                if (di == 0 && dj == 0) continue;  // stays
                Arrivals[WrapIndex(i, di)][WrapIndex(j, dj)] += 1;
                ++moved;
            }
            Stayers[i][j] = std::max(cell.N - moved, 0);
        }
    }
    for (int i = 0; i < GridSide; ++i)
        for (int j = 0; j < GridSide; ++j)
            Plot.Density[i][j] = Narrow32(static_cast<std::int64_t>(Stayers[i][j]) + Arrivals[i][j]);
}

}  // namespace glebix
