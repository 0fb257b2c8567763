// Three rounds over the blocks, each shared by the threads: the blocks' draws are
// counted (and their counts kept), the cells worked out, and the kept counts cleared.
#include "CellShare.h"

#include <algorithm>
#include <cstring>

#include "Random.h"
#include "StepResources.h"

namespace glebix {
namespace {

// Plots below this many cells count and clear on the calling thread: waking the
// workers would cost more.
constexpr int ShareRoundsFrom = 65536;

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
    before_ = reinterpret_cast<std::int32_t *>(step.Grid(0, 0));
    Round(step, &CellShare::CountBlock);
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
        Round(step, &CellShare::ClearBlock);
        seed = f.State;
        std::rethrow_exception(f.Error);
    }
    Round(step, &CellShare::ClearBlock);
    seed = state;
}

void CellShare::Round(StepResources &step, StepResources::BlockWork work) {
    if (cells_ >= ShareRoundsFrom) {
        step.ShareBlocks(blockCount_, work, this);
        return;
    }
    for (int b = 0; b < blockCount_; ++b) work(this, b, 0);
}

void CellShare::CountBlock(void *self, int block, int) {
    CellShare &share = *static_cast<CellShare *>(self);
    const int begin = share.BlockBegin(block), end = share.BlockBegin(block + 1);
    std::copy(share.plot_->Density.Data() + begin, share.plot_->Density.Data() + end, share.before_ + begin);
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
    std::uint32_t state = static_cast<std::uint32_t>(share.blockDraws_[block]);
    for (int c = share.BlockBegin(block); c < share.BlockBegin(block + 1); ++c) {
        try {
            share.work_(share.context_, c, state, thread);
        } catch (...) {
            share.fault_[block] = {std::current_exception(), c, state};
            break;
        }
    }
}

void CellShare::ClearBlock(void *self, int block, int) {
    CellShare &share = *static_cast<CellShare *>(self);
    const int begin = share.BlockBegin(block), end = share.BlockBegin(block + 1);
    std::memset(share.before_ + begin, 0, sizeof(std::int32_t) * static_cast<std::size_t>(end - begin));
}

}  // namespace glebix
