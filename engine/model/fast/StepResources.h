// What the time step's processes share to run fast: the worker threads and the work
// grids, made once per run at the plot's size (again only when the thread count or the
// size changes), so that no step creates a thread or allocates. A process borrows them
// for its pass and leaves the grids as it found them, all zero.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "GridMemory.h"
#include "WorkerPool.h"

namespace glebix {

class StepResources {
public:
    // Cells of margin on every side of a work grid, where arrivals from up to this
    // many cells away land without a wrap.
    static constexpr int Margin = 7;
    // Grids per thread: two (see FastDispersal::Scratch) on plots of up to
    // TwoLanesUpTo cells, where the second one is cheap beside what it saves; one on
    // larger plots, where Grid(thread, 1) is Grid(thread, 0).
    static constexpr int Lanes = 2;
    static constexpr std::int64_t TwoLanesUpTo = std::int64_t{1} << 21;

    // `threadCount` threads in all: the calling thread and threadCount - 1 workers.
    explicit StepResources(int threadCount);
    StepResources(const StepResources &) = delete;
    StepResources &operator=(const StepResources &) = delete;

    int ThreadCount() const { return threadCount_; }
    WorkerPool *Pool() const { return pool_.get(); }  // null for one thread

    // Sizes the grids for a plot of `width` x `height` cells; nothing happens when
    // they already have that size.
    void UsePlot(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // A work grid: (Width + 2 Margin) rows of PaddedColumns() values, zero between
    // passes. Lane `lane` of thread `thread` (0 is the calling thread).
    std::uint32_t *Grid(int thread, int lane) {
        return grids_[thread * laneCount_ + std::min(lane, laneCount_ - 1)].data();
    }
    int LaneCount() const { return laneCount_; }  // distinct grids per thread
    int PaddedColumns() const { return height_ + 2 * Margin; }
    // One count per cell (row by row) that a process keeps from one of its stages to
    // the next; any value between passes.
    std::int32_t *CellCounts() { return counts_.get(); }
    std::size_t GridSize() const { return grids_.empty() ? 0 : grids_[0].size(); }
    // Index in a work grid of cell `cell` (row by row, Height a row) of the plot.
    int PaddedIndex(int cell) const { return (cell / height_ + Margin) * PaddedColumns() + cell % height_ + Margin; }

    // Runs work(context, block, thread) once for every block in 0..blocks - 1, on the
    // calling thread (thread 0) and the workers, and returns when all are done. Work
    // may run in any order: it must not depend on it. Raises nothing.
    using BlockWork = void (*)(void *context, int block, int thread);
    void ShareBlocks(int blocks, BlockWork work, void *context);

private:
    static void BlockJob(void *self, int worker);
    void TakeBlocks(int thread);

    const int threadCount_;
    std::unique_ptr<WorkerPool> pool_;
    int width_ = 0, height_ = 0;
    int laneCount_ = Lanes;
    std::vector<std::vector<std::uint32_t, GridAllocator<std::uint32_t>>> grids_;
    GridArray<std::int32_t> counts_;
    // The blocks under way in ShareBlocks.
    BlockWork work_ = nullptr;
    void *context_ = nullptr;
    int blocks_ = 0;
    std::atomic<int> nextBlock_{0};
};

}  // namespace glebix
