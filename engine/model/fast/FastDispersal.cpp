// The fast dispersal pass. The threads count each block's individuals and prepare
// its empty cells, whose capacity may fault. The calling thread then numbers the
// individuals in the reference's order, up to the first such fault, and splits them
// into chunks, which every thread takes from. Any thread can run any chunk: a chunk's
// first draw is at 2 x (its first individual) after the pass's first state, which the
// generator reaches by jumping ahead; the thread prepares and plans the chunk's cells
// as it meets them, so nothing is kept per cell. The earliest fault in the reference's
// order decides: that of a cell's preparation comes before its first individual's
// draws. Every thread adds its movers into its own work grids of arrivals minus
// departures; the grids are summed at the end, so the result does not depend on which
// thread ran what.
#include "FastDispersal.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

#include "Errors.h"
#include "RunSpecies.h"

namespace glebix {
namespace {

// Chunks per thread in a pass: enough for the threads to end together although
// chunks differ in cost, and for the calling thread to yield evenly.
constexpr std::uint64_t ChunksPerThread = 8;
// Bounds of a chunk: below the lower one the jump per chunk begins to count, above
// the upper one the calling thread would yield in bursts.
constexpr std::uint64_t MinChunkSize = 1024;
constexpr std::uint64_t MaxChunkSize = 32768;

constexpr std::uint64_t NoFault = std::numeric_limits<std::uint64_t>::max();

// Individuals of a pass that pay for a table made for the next one.
constexpr std::uint64_t TableWorth = 500000;

}  // namespace

FastDispersal::FastDispersal() = default;

FastDispersal::~FastDispersal() = default;

std::uint64_t FastDispersal::ChunkSizeFor(std::uint64_t total, int threadCount) {
    const std::uint64_t pieces = ChunksPerThread * static_cast<std::uint64_t>(std::max(threadCount, 1));
    return std::clamp((total + pieces - 1) / pieces, MinChunkSize, MaxChunkSize);
}

std::int64_t FastDispersal::Run(StepResources &step, TPlot &plot, const RunSpecies &species, std::uint32_t &seed,
                                const std::function<void()> &yield, bool plain) {
    struct BusyFlag {
        bool &flag;
        explicit BusyFlag(bool &f) : flag(f) { flag = true; }
        ~BusyFlag() { flag = false; }
    } busy(busy_);
    startSeed_ = seed;
    UsePlot(step, plot);
    species_ = &species;
    prepare_ = plain ? PrepareDispersalCellReference : PrepareDispersalCell;
    nextPlanBlock_.store(0, std::memory_order_relaxed);
    plannedBlocks_.store(0, std::memory_order_relaxed);
    chunksReady_.store(false, std::memory_order_relaxed);
    if (step.Pool()) step.Pool()->Start(&FastDispersal::WorkerJob, this);
    PlanBlocks();
    while (plannedBlocks_.load(std::memory_order_acquire) < planBlocks_) std::this_thread::yield();
    const int cellsVisited = NumberIndividuals();
    ChooseTable(plain);
    trackChunks_ = static_cast<bool>(yield);
    StartChunks();
    RunChunks(yield, cellsVisited);
    return FinishPass(seed);
}

// The tables of blocks, made anew only for a plot of another shape; the threads'
// scratch, anew only for another thread count.
void FastDispersal::UsePlot(StepResources &step, TPlot &plot) {
    step_ = &step;
    plot_ = &plot;
    bounded_ = plot.Bounded;
    step.UsePlot(plot.Width, plot.Height);
    if (scratchCount_ != step.ThreadCount()) {
        scratchCount_ = step.ThreadCount();
        scratch_.reset(new Scratch[static_cast<std::size_t>(scratchCount_)]());
    }
    threadCount_ = scratchCount_;
    for (int t = 0; t < threadCount_; ++t)
        for (int lane = 0; lane < StepResources::Lanes; ++lane) scratch_[t].Lane[lane] = step.Grid(t, lane);
    if (plot.Width == width_ && plot.Height == height_) return;
    width_ = plot.Width;
    height_ = plot.Height;
    cells_ = plot.Cells();
    paddedColumns_ = step.PaddedColumns();
    planBlocks_ = std::max(MinPlanBlocks, cells_ / PlanBlockCells);
    planFault_.assign(static_cast<std::size_t>(planBlocks_), PlanFault{});
    blockFirst_.assign(static_cast<std::size_t>(planBlocks_) + 1, 0);
    sumBlocks_ = std::max(1, std::min(width_, cells_ / SumBlockCells));
}

// Any thread prepares any block of cells; a fault ends its block.
void FastDispersal::PlanBlocks() {
    for (int b; (b = nextPlanBlock_.fetch_add(1, std::memory_order_relaxed)) < planBlocks_;) {
        PlanBlock(b);
        plannedBlocks_.fetch_add(1, std::memory_order_release);
    }
}

// The block's individuals up to its first empty cell that faults go to
// blockFirst_[block + 1] until they are numbered.
void FastDispersal::PlanBlock(int block) {
    planFault_[block] = {};
    std::uint64_t individuals = 0;
    const std::int32_t *counts = plot_->Density.Data();
    for (int c = BlockBegin(block); c < BlockBegin(block + 1); ++c) {
        if (counts[c] > 0) {
            individuals += static_cast<std::uint64_t>(counts[c]);
            continue;
        }
        try {
            prepare_(*plot_, *species_, c / height_, c % height_);
        } catch (...) {
            planFault_[block] = {std::current_exception(), c};
            break;
        }
    }
    blockFirst_[block + 1] = individuals;
}

// Numbers the individuals in the reference's order. The first fault ends the pass at
// its cell: the cells after it draw nothing. Returns the cells visited, and keeps
// the fault, if any, in planError_.
int FastDispersal::NumberIndividuals() {
    int cellsVisited = cells_;
    std::uint64_t total = 0;
    planError_ = nullptr;
    blockFirst_[0] = 0;
    for (int b = 0; b < planBlocks_; ++b) {
        total += planError_ ? 0 : blockFirst_[b + 1];
        blockFirst_[b + 1] = total;
        if (!planError_ && planFault_[b].Error) {
            cellsVisited = planFault_[b].Cell + 1;
            planError_ = planFault_[b].Error;
        }
    }
    total_ = total;
    return cellsVisited;
}

// The table pays for its making (some hundred thousand individuals' worth) when its
// scale comes back pass after pass, as it does when the crowding does not change
// scales, or when the last pass was large: it is made for the scale of the last
// pass's largest cell.
void FastDispersal::ChooseTable(bool plain) {
    tableInUse_ = false;
    if (plain) return;
    if (hasCandidate_ && (!table_.IsFor(candidate_) || table_.Reach() != candidateReach_) &&
        (candidate_ == lastCandidate_ || lastTotal_ >= TableWorth)) {
        table_.Build(candidate_, candidateReach_);
        tableBuilt_ = true;
    }
    if (!tableBuilt_) return;
    if (table_.PaddedColumns() != paddedColumns_) table_.UsePaddedColumns(paddedColumns_);
    tableInUse_ = true;
}

void FastDispersal::StartChunks() {
    chunkSize_ = ChunkSizeFor(total_, threadCount_);
    chunkCount_ = (total_ + chunkSize_ - 1) / chunkSize_;
    nextChunk_.store(0, std::memory_order_relaxed);
    earliestFault_.store(NoFault, std::memory_order_relaxed);
    yieldsDone_ = 0;
    yieldError_ = nullptr;
    for (int t = 0; t < threadCount_; ++t) {
        Scratch &s = scratch_[t];
        s.Emigrants = 0;
        s.FaultKey = NoFault;
        s.FaultCell = cells_;
        s.FaultMessage = {};
        s.FaultError = nullptr;
        s.PlanCell = -1;
        s.LargestN = -1;
    }
    if (trackChunks_) TrackChunks();
    chunksReady_.store(true, std::memory_order_release);
}

void FastDispersal::TrackChunks() {
    if (chunkCount_ > chunkDone_.size())
        chunkDone_ = std::vector<std::atomic<bool>>(std::max<std::size_t>(chunkCount_, 2 * chunkDone_.size()));
    for (std::uint64_t k = 0; k < chunkCount_; ++k) chunkDone_[k].store(false, std::memory_order_relaxed);
    chunksBehind_ = 0;
    behindCell_ = 0;
    behindFirst_ = 0;
}

// The calling thread takes chunks like the workers and yields as the work advances,
// once for each cell that the reference would have reached: up to the cell of the
// first fault.
void FastDispersal::RunChunks(const std::function<void()> &yield, int cellsVisited) {
    const auto yieldSoFar = [&] {
        if (trackChunks_) PaceYields(yield, std::min(cellsVisited, CellsBehind()));
    };
    for (std::uint64_t chunk; (chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed)) < chunkCount_;) {
        RunChunk(chunk, scratch_[0]);
        yieldSoFar();
    }
    FoldMargins(scratch_[0]);
    if (WorkerPool *pool = step_->Pool()) {
        // Every chunk is taken: a worker that has not begun has nothing left to do.
        pool->Withdraw();
        while (!pool->WaitFor(std::chrono::milliseconds(1))) yieldSoFar();
    }
    const Scratch *fault = EarliestFault();
    PaceYields(yield, fault ? std::min(cellsVisited, fault->FaultCell + 1) : cellsVisited);
    if (yieldError_) {
        ClearGrids();
        std::rethrow_exception(yieldError_);
    }
}

// The cells before the first chunk not yet run through, which are prepared and drawn
// without a fault.
int FastDispersal::CellsBehind() {
    while (chunksBehind_ < chunkCount_ && chunkDone_[chunksBehind_].load(std::memory_order_relaxed)) ++chunksBehind_;
    if (chunksBehind_ == chunkCount_) return cells_;
    SeekIndividual(chunksBehind_ * chunkSize_, behindCell_, behindFirst_);
    return behindCell_;
}

// Moves `cell`, whose first individual in the pass is `cellFirst`, forward to the cell
// that holds individual `at` (or to the plot's end); returns that cell's count.
std::uint64_t FastDispersal::SeekIndividual(std::uint64_t at, int &cell, std::uint64_t &cellFirst) const {
    const std::int32_t *counts = plot_->Density.Data();
    for (; cell < cells_; ++cell) {
        const auto n = static_cast<std::uint64_t>(std::max(counts[cell], 0));
        if (cellFirst + n > at) return n;
        cellFirst += n;
    }
    return 0;
}

// The scratch of the earliest fault in the reference's order, if any.
const FastDispersal::Scratch *FastDispersal::EarliestFault() const {
    const Scratch *earliest = nullptr;
    for (int t = 0; t < threadCount_; ++t) {
        const Scratch &s = scratch_[t];
        if (s.FaultKey != NoFault && (!earliest || s.FaultKey < earliest->FaultKey)) earliest = &s;
    }
    return earliest;
}

// The earliest fault decides and the plot keeps its counts; otherwise every thread's
// arrivals minus departures are added to the counts the pass started from.
std::int64_t FastDispersal::FinishPass(std::uint32_t &seed) {
    std::int64_t emigrants = 0;
    const Scratch *largest = nullptr;
    for (int t = 0; t < threadCount_; ++t) {
        const Scratch &s = scratch_[t];
        emigrants += s.Emigrants;
        if (s.LargestN >= 0 && (!largest || s.LargestN > largest->LargestN)) largest = &s;
    }
    NoteCandidate(largest);
    if (const Scratch *fault = EarliestFault()) {
        ClearGrids();
        if (fault->FaultError) {
            seed = AdvanceRandom(startSeed_, fault->FaultKey);  // the draws before the cell
            std::rethrow_exception(fault->FaultError);
        }
        seed = AdvanceRandom(startSeed_, fault->FaultKey + 1);  // both draws of the faulting individual
        ThrowFloatFault(fault->FaultMessage);
    }
    seed = AdvanceRandom(startSeed_, 2 * total_);
    if (planError_) {
        ClearGrids();
        std::rethrow_exception(planError_);
    }
    step_->ShareBlocks(sumBlocks_, &FastDispersal::SumRows, this);
    return emigrants;
}

// The scale the table is wanted for after this pass: that of its largest cell within
// the table's reach (none: no scale).
void FastDispersal::NoteCandidate(const Scratch *largest) {
    lastCandidate_ = candidate_;
    hasCandidate_ = largest != nullptr;
    candidate_ = largest ? largest->LargestScale : std::numeric_limits<double>::quiet_NaN();
    candidateReach_ = largest ? largest->LargestReach : 0;
    lastTotal_ = total_;
}

// Rows of the plot: the counts the pass started from (none below zero) plus every
// thread's arrivals minus departures, whose grids are cleared.
void FastDispersal::SumRows(void *self, int block, int) {
    FastDispersal &pass = *static_cast<FastDispersal *>(self);
    const int blocks = pass.sumBlocks_;
    const int height = pass.height_;
    constexpr int margin = StepResources::Margin;
    for (int i = pass.width_ * block / blocks; i < pass.width_ * (block + 1) / blocks; ++i) {
        std::int32_t *counts = pass.plot_->Density[i];
        const std::size_t rowStart = static_cast<std::size_t>(i + margin) * pass.paddedColumns_ + margin;
        for (int j = 0; j < height; ++j) counts[j] = std::max(counts[j], 0);
        for (int t = 0; t < pass.threadCount_; ++t) {
            for (int lane = 0; lane < pass.step_->LaneCount(); ++lane) {
                std::uint32_t *delta = pass.scratch_[t].Lane[lane] + rowStart;
                for (int j = 0; j < height; ++j)
                    counts[j] = static_cast<std::int32_t>(static_cast<std::uint32_t>(counts[j]) + delta[j]);
                std::memset(delta, 0, sizeof(std::uint32_t) * static_cast<std::size_t>(height));
            }
        }
    }
}

void FastDispersal::ClearGrids() {
    for (int t = 0; t < threadCount_; ++t)
        for (int lane = 0; lane < step_->LaneCount(); ++lane) std::fill_n(step_->Grid(t, lane), step_->GridSize(), 0u);
}

// A worker helps prepare, waits for the chunks (a short wait: the numbering of the
// individuals), and takes chunks until none is left.
void FastDispersal::WorkerJob(void *self, int worker) {
    FastDispersal &pass = *static_cast<FastDispersal *>(self);
    pass.PlanBlocks();
    while (!pass.chunksReady_.load(std::memory_order_acquire)) std::this_thread::yield();
    pass.TakeChunks(pass.scratch_[worker]);
}

void FastDispersal::TakeChunks(Scratch &scratch) {
    for (std::uint64_t chunk; (chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed)) < chunkCount_;)
        RunChunk(chunk, scratch);
    FoldMargins(scratch);
}

void FastDispersal::PaceYields(const std::function<void()> &yield, std::uint64_t target) {
    if (!yield) yieldsDone_ = std::max(yieldsDone_, target);
    for (; yieldsDone_ < target; ++yieldsDone_) {
        if (yieldError_) continue;
        try {
            yield();
        } catch (...) {
            // Kept until the workers are done with the pass, then raised.
            yieldError_ = std::current_exception();
        }
    }
}

// The chunk's first cell is found from its block's first individual, and the cells
// after it from their counts.
void FastDispersal::RunChunk(std::uint64_t chunk, Scratch &scratch) {
    const std::uint64_t begin = chunk * chunkSize_;
    const std::uint64_t end = std::min(total_, begin + chunkSize_);
    bool ok = true;
    // A fault before this chunk decides the pass: its draws cannot matter.
    if (earliestFault_.load(std::memory_order_relaxed) >= 2 * begin) {
        const int block =
            static_cast<int>(std::upper_bound(blockFirst_.begin(), blockFirst_.end(), begin) - blockFirst_.begin()) - 1;
        int cell = BlockBegin(block);
        std::uint64_t cellFirst = blockFirst_[block];
        std::uint32_t state = AdvanceRandom(startSeed_, 2 * begin);
        for (std::uint64_t at = begin; at < end;) {
            const std::uint64_t n = SeekIndividual(at, cell, cellFirst);
            const std::uint64_t count = std::min(end, cellFirst + n) - at;
            state = RunPiece(cell, cellFirst, at - cellFirst, count, state, scratch, ok);
            if (!ok) break;
            at += count;
        }
    }
    if (trackChunks_ && ok) chunkDone_[chunk].store(true, std::memory_order_relaxed);
}

// Adds the arrivals on the margins of the thread's grids to the cells they wrap to
// (or to the emigrants of a bounded plot), and clears them.
void FastDispersal::FoldMargins(Scratch &scratch) const {
    constexpr int margin = StepResources::Margin;
    for (int lane = 0; lane < step_->LaneCount(); ++lane) {
        std::uint32_t *grid = scratch.Lane[lane];
        for (int pi = 0; pi < width_ + 2 * margin; ++pi) {
            std::uint32_t *row = grid + static_cast<std::size_t>(pi) * paddedColumns_;
            const bool rowInside = pi >= margin && pi < width_ + margin;
            for (int pj = 0; pj < paddedColumns_; ++pj) {
                if (rowInside && pj == margin) pj = height_ + margin;  // the plot's own cells
                if (pj >= paddedColumns_) break;
                const std::uint32_t n = row[pj];
                if (n == 0) continue;
                row[pj] = 0;
                if (bounded_) {
                    scratch.Emigrants += n;
                    continue;
                }
                const int i = WrapIndex(pi - margin, 0, width_), j = WrapIndex(pj - margin, 0, height_);
                grid[static_cast<std::size_t>(i + margin) * paddedColumns_ + j + margin] += n;
            }
        }
    }
}

}  // namespace glebix
