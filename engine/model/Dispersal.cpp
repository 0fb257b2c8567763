// Dispersal: every individual draws a normal displacement (Box-Muller) whose spread
// grows with its cell's crowding; the plot is a torus. The pass is synchronous: every
// cell disperses from its count at the start of the pass.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "Conversions.h"
#include "DispersalCell.h"
#include "FastDispersal.h"
#include "Habitat.h"
#include "Simul.h"
#include "Threads.h"

namespace glebix {

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
