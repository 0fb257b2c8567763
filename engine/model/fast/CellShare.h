// A process that rewrites each cell from that cell alone and makes a number of draws
// per cell known before the pass (reproduction: one; survival: the exposed count up
// to 100), run over blocks of cells on several threads. Each block starts its draws by
// jumping the generator ahead, so the split changes no number. The first fault in
// cell order decides, as in the plain pass: the cells from it on keep their counts
// and the generator stands where that cell would have begun to draw.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "Plot.h"
#include "StepResources.h"

namespace glebix {

class CellShare {
public:
    // Works out the cells from `cell` to `end` in order, each from the generator state
    // of its first draw, which it leaves after its last; a cell raises a fault before
    // it draws, with `cell` on it. `thread` is 0 for the calling thread, else the
    // worker's number.
    using CellWork = void (*)(void *context, int &cell, int end, std::uint32_t &state, int thread);
    // The draws of a cell, read before any cell is worked out.
    using CellDraws = std::uint32_t (*)(void *context, int cell);

    // Blocks: ten on the 50 x 50 plot, one per BlockCells cells on larger ones. Long
    // blocks keep a thread on cells of its own, whose lines then stay in its core's
    // cache from one process to the next.
    static constexpr int MinBlockCount = 10;
    static constexpr int BlockCells = 16384;

    // Runs `work` on every cell of `plot` from generator state `seed`, on the threads
    // of `step`, whose cell counts keep the counts a fault restores. `draws` null:
    // one draw per cell.
    void Run(StepResources &step, TPlot &plot, std::uint32_t &seed, CellWork work, CellDraws draws, void *context);

private:
    struct BlockFault {
        std::exception_ptr Error;
        int Cell = 0;
        std::uint32_t State = 0;  // at the start of the cell
    };

    void UsePlot(const TPlot &plot);
    static void CountBlock(void *self, int block, int thread);
    static void RunBlock(void *self, int block, int thread);
    int BlockBegin(int block) const { return static_cast<int>(std::int64_t{cells_} * block / blockCount_); }

    CellWork work_ = nullptr;
    CellDraws draws_ = nullptr;
    void *context_ = nullptr;
    TPlot *plot_ = nullptr;
    std::int32_t *before_ = nullptr;  // counts at the start, for a fault (the step's)
    int cells_ = 0;
    int blockCount_ = 0;
    std::vector<std::uint64_t> blockDraws_;  // draws of each block, then the state it starts from
    std::vector<BlockFault> fault_;
};

}  // namespace glebix
