// The blocks' draws are counted (by the threads on large plots), then the threads
// work the blocks out, each keeping its counts first for a fault.
#include "CellShare.h"

#include <algorithm>

#include "Random.h"
#include "StepResources.h"

namespace glebix {
namespace {

// Plots below this many cells count their draws on the calling thread: waking the
// workers would cost more.
constexpr int ShareCountsFrom = 65536;

}  // namespace

void CellShare::UsePlot(const TPlot &plot) {
    if (plot.Cells() == cells_) return;
    cells_ = plot.Cells();
    blockCount_ = std::max(MinBlockCount, cells_ / BlockCells);
    blockDraws_.assign(static_cast<std::size_t>(blockCount_), 0);
    fault_.assign(static_cast<std::size_t>(blockCount_), BlockFault{});
}

void CellShare::Run(StepResources &step, TPlot &plot, std::uint32_t &seed, CellWork work, CellDraws draws,
                    void *context) {
    UsePlot(plot);
    work_ = work;
    draws_ = draws;
    context_ = context;
    plot_ = &plot;
    before_ = step.CellCounts();
    if (draws && cells_ >= ShareCountsFrom)
        step.ShareBlocks(blockCount_, &CellShare::CountBlock, this);
    else
        for (int b = 0; b < blockCount_; ++b) CountBlock(this, b, 0);
    std::uint32_t state = seed;
    for (std::uint64_t &start : blockDraws_) {
        const std::uint64_t blockDraws = start;
        start = state;
        state = AdvanceRandom(state, blockDraws);
    }
    step.ShareBlocks(blockCount_, &CellShare::RunBlock, this);
    for (const BlockFault &f : fault_) {
        if (!f.Error) continue;
        std::copy(before_ + f.Cell, before_ + cells_, plot.Density.Data() + f.Cell);
        seed = f.State;
        std::rethrow_exception(f.Error);
    }
    seed = state;
}

void CellShare::CountBlock(void *self, int block, int) {
    CellShare &share = *static_cast<CellShare *>(self);
    const int begin = share.BlockBegin(block), end = share.BlockBegin(block + 1);
    std::uint64_t draws = static_cast<std::uint64_t>(end - begin);
    if (share.draws_) {
        draws = 0;
        for (int c = begin; c < end; ++c) draws += share.draws_(share.context_, c);
    }
    share.blockDraws_[block] = draws;
}

void CellShare::RunBlock(void *self, int block, int thread) {
    CellShare &share = *static_cast<CellShare *>(self);
    share.fault_[block] = BlockFault{};
    const int begin = share.BlockBegin(block), end = share.BlockBegin(block + 1);
    const std::int32_t *counts = share.plot_->Density.Data();
    std::copy(counts + begin, counts + end, share.before_ + begin);
    std::uint32_t state = static_cast<std::uint32_t>(share.blockDraws_[block]);
    int cell = begin;
    try {
        share.work_(share.context_, cell, end, state, thread);
    } catch (...) { share.fault_[block] = {std::current_exception(), cell, state}; }
}

}  // namespace glebix
