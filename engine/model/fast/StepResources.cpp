#include "StepResources.h"

#include <algorithm>
#include <chrono>

namespace glebix {

StepResources::StepResources(int threadCount) : threadCount_(std::max(threadCount, 1)) {
    if (threadCount_ > 1) pool_ = std::make_unique<WorkerPool>(threadCount_ - 1);
}

void StepResources::UsePlot(int width, int height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    const std::size_t size = static_cast<std::size_t>(width + 2 * Margin) * PaddedColumns();
    laneCount_ = std::int64_t{width} * height <= TwoLanesUpTo ? Lanes : 1;
    grids_.assign(static_cast<std::size_t>(threadCount_) * laneCount_, {});
    for (auto &grid : grids_) grid.assign(size, 0);
    counts_ = MakeGridArray<std::int32_t>(static_cast<std::size_t>(width) * height);
}

void StepResources::ShareBlocks(int blocks, BlockWork work, void *context) {
    work_ = work;
    context_ = context;
    blocks_ = blocks;
    nextBlock_.store(0, std::memory_order_relaxed);
    if (pool_ && blocks > 1) pool_->Start(&StepResources::BlockJob, this);
    TakeBlocks(0);
    if (pool_ && blocks > 1) {
        // Every block is taken: a worker that has not begun has nothing left to do.
        pool_->Withdraw();
        while (!pool_->WaitFor(std::chrono::milliseconds(1))) {}
    }
}

void StepResources::BlockJob(void *self, int worker) { static_cast<StepResources *>(self)->TakeBlocks(worker); }

void StepResources::TakeBlocks(int thread) {
    for (int b; (b = nextBlock_.fetch_add(1, std::memory_order_relaxed)) < blocks_;) work_(context_, b, thread);
}

}  // namespace glebix
