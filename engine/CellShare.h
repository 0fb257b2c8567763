// A process that rewrites each cell from that cell alone and makes a number of draws
// per cell known before the pass (reproduction: one; survival: the exposed count up
// to 100), run over blocks of cells on several threads. Each block starts its draws by
// jumping the generator ahead, so the split changes no number. The first fault in
// cell order decides, as in the plain pass: the cells from it on keep their counts
// and the generator stands where that cell would have begun to draw.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <vector>

#include "Plot.h"

namespace glebix {

class WorkerPool;

class CellShare {
public:
    // Works out one cell from the generator state of its first draw, which it leaves
    // after its last; raises a fault before it draws. `thread` is 0 for the calling
    // thread, else the worker's number.
    using CellWork = void (*)(void *context, int cell, std::uint32_t &state, int thread);

    // Blocks: ten on the 50 x 50 plot, one per BlockCells cells on larger ones.
    static constexpr int MinBlockCount = 10;
    static constexpr int BlockCells = CellCount / MinBlockCount;

    // Sizes the grids below for `plot` (anew only when its size changed). To be
    // called before the caller sets Draws.
    void UsePlot(const TPlot &plot);

    // Draws of each cell (row by row), set by the caller before Run.
    std::vector<std::uint32_t> Draws;

    // Runs `work` on every cell of `plot` from generator state `seed`, on the calling
    // thread and the workers of `pool` (null: the calling thread alone).
    void Run(WorkerPool *pool, TPlot &plot, std::uint32_t &seed, CellWork work, void *context);

private:
    struct BlockFault {
        std::exception_ptr Error;
        int Cell = 0;
        std::uint32_t State = 0;  // at the start of the cell
    };

    static void WorkerJob(void *self, int worker);
    void TakeBlocks(int thread);
    int BlockBegin(int block) const { return static_cast<int>(std::int64_t{cells_} * block / blockCount_); }

    CellWork work_ = nullptr;
    void *context_ = nullptr;
    int cells_ = 0;
    int blockCount_ = 0;
    std::vector<std::uint32_t> blockStart_;
    std::vector<BlockFault> fault_;
    std::vector<std::int32_t> before_;  // counts at the start, for a fault
    std::atomic<int> nextBlock_{0};
};

}  // namespace glebix
