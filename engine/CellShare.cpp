#include "CellShare.h"

#include <chrono>
#include <cstring>

#include "Random.h"
#include "WorkerPool.h"

namespace glebix {

void CellShare::Run(WorkerPool *pool, TPlot &plot, std::uint32_t &seed, CellWork work, void *context) {
    work_ = work;
    context_ = context;
    std::memcpy(before_, plot.Density, sizeof before_);
    std::uint32_t state = seed;
    for (int b = 0; b < BlockCount; ++b) {
        blockStart_[b] = state;
        std::uint64_t draws = 0;
        for (int c = b * BlockCells; c < (b + 1) * BlockCells; ++c) draws += Draws[c];
        state = AdvanceRandom(state, draws);
    }
    nextBlock_.store(0, std::memory_order_relaxed);
    if (pool) pool->Start(&CellShare::WorkerJob, this);
    TakeBlocks(0);
    if (pool) {
        // A worker that has not begun yet has nothing left to do: no need to wait
        // for it to be scheduled.
        pool->Withdraw();
        while (!pool->WaitFor(std::chrono::milliseconds(1))) {}
    }
    for (const BlockFault &f : fault_) {
        if (!f.Error) continue;
        std::int32_t *counts = &plot.Density[0][0];
        std::memcpy(counts + f.Cell, before_ + f.Cell, (CellCount - f.Cell) * sizeof(std::int32_t));
        seed = f.State;
        std::rethrow_exception(f.Error);
    }
    seed = state;
}

void CellShare::WorkerJob(void *self, int worker) { static_cast<CellShare *>(self)->TakeBlocks(worker); }

void CellShare::TakeBlocks(int thread) {
    for (int b; (b = nextBlock_.fetch_add(1, std::memory_order_relaxed)) < BlockCount;) {
        fault_[b] = BlockFault{};
        std::uint32_t state = blockStart_[b];
        for (int c = b * BlockCells; c < (b + 1) * BlockCells; ++c) {
            try {
                work_(context_, c, state, thread);
            } catch (...) {
                fault_[b] = {std::current_exception(), c, state};
                break;
            }
        }
    }
}

}  // namespace glebix
