#include "CellShare.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Random.h"
#include "WorkerPool.h"

namespace glebix {

void CellShare::UsePlot(const TPlot &plot) {
    if (plot.Cells() == cells_) return;
    cells_ = plot.Cells();
    blockCount_ = std::max(MinBlockCount, cells_ / BlockCells);
    blockStart_.assign(static_cast<std::size_t>(blockCount_), 0);
    fault_.assign(static_cast<std::size_t>(blockCount_), BlockFault{});
    before_.assign(static_cast<std::size_t>(cells_), 0);
    Draws.assign(static_cast<std::size_t>(cells_), 0);
}

void CellShare::Run(WorkerPool *pool, TPlot &plot, std::uint32_t &seed, CellWork work, void *context) {
    work_ = work;
    context_ = context;
    std::copy_n(plot.Density.Data(), cells_, before_.data());
    std::uint32_t state = seed;
    for (int b = 0; b < blockCount_; ++b) {
        blockStart_[b] = state;
        std::uint64_t draws = 0;
        for (int c = BlockBegin(b); c < BlockBegin(b + 1); ++c) draws += Draws[c];
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
        std::copy(before_.begin() + f.Cell, before_.end(), plot.Density.Data() + f.Cell);
        seed = f.State;
        std::rethrow_exception(f.Error);
    }
    seed = state;
}

void CellShare::WorkerJob(void *self, int worker) { static_cast<CellShare *>(self)->TakeBlocks(worker); }

void CellShare::TakeBlocks(int thread) {
    for (int b; (b = nextBlock_.fetch_add(1, std::memory_order_relaxed)) < blockCount_;) {
        fault_[b] = BlockFault{};
        std::uint32_t state = blockStart_[b];
        for (int c = BlockBegin(b); c < BlockBegin(b + 1); ++c) {
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
