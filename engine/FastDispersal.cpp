// The fast dispersal pass. The threads prepare the cells (capacity, excess, scale) in
// blocks; the first fault in cell order decides. The calling thread then numbers the
// individuals of the pass in the reference's order and splits them into chunks, which
// every thread takes from. Any thread can run any chunk: a chunk's first draw is at
// 2 x (its first individual) after the pass's first state, which the generator
// reaches by jumping ahead. Every thread adds its movers into its own grid of arrivals
// minus departures; the grids are summed at the end, so the result does not depend on
// which thread ran what.
#include "FastDispersal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "Dispersal.h"
#include "Errors.h"
#include "Simul.h"

namespace glebix {
namespace {

// Chunks per thread in a pass: enough for the threads to end together although
// chunks differ in cost, and for the calling thread to yield evenly.
constexpr std::uint64_t ChunksPerThread = 8;
// Bounds of a chunk: below the lower one the jump per chunk begins to count, above
// the upper one the calling thread would yield in bursts.
constexpr std::uint64_t MinChunkSize = 1024;
constexpr std::uint64_t MaxChunkSize = 32768;

// Widest offset that Counted cells count per offset.
constexpr int MaxCountedReach = 24;
constexpr int MaxCountedSide = 2 * MaxCountedReach + 1;

constexpr std::uint64_t NoFault = std::numeric_limits<std::uint64_t>::max();

// Individuals at one scale that pay for a table made for a single pass.
constexpr std::uint64_t TableWorth = 500000;

// Relative room left around the bounds of the scale before trusting them.
constexpr double BoundRoom = 1e-6;

// Sorting the sure stayers out of a block pays when at least this share stays.
constexpr double WorthSortingOut = 0.15;

// The U2 state from which an individual surely stays at this scale (see CellPlan).
std::uint64_t StayThreshold(double scale) {
    const double radius = 0.5 * (1 - BoundRoom) / std::fabs(scale);   // R below it stays
    const double u2 = std::exp(-0.5 * radius * radius) * (1 + 1e-7);  // U2 above it
    if (!(u2 < 1 - WorthSortingOut)) return (1ull << 32) + 1;
    const std::uint64_t from = static_cast<std::uint64_t>(std::ceil(u2 * 4294967296.0));
    return std::max<std::uint64_t>(from, 4294968u);  // never below U2 = 0.001
}

}  // namespace

int FastDispersal::DestinationCell(int cell, std::int64_t di, std::int64_t dj) const {
    return DestinationOf(*plot_, cell / height_, cell % height_, di, dj);
}

int FastDispersal::NearbyCell(int row, int column, int di, int dj) const {
    int i = row + di;
    int j = column + dj;
    if (bounded_) return i < 0 || i >= width_ || j < 0 || j >= height_ ? -1 : i * height_ + j;
    i += i < 0 ? width_ : 0;
    i -= i >= width_ ? width_ : 0;
    j += j < 0 ? height_ : 0;
    j -= j >= height_ ? height_ : 0;
    return i * height_ + j;
}

struct FastDispersal::Scratch {
    std::vector<std::uint32_t> Delta;  // arrivals minus departures per cell, modulo 2^32
    std::int64_t Emigrants = 0;        // movers that left a bounded plot
    // Movers of the current cell per offset ((di + Reach) * side + dj + Reach), in
    // four copies so that consecutive individuals rarely add to the same counter;
    // all zero between cells.
    std::uint32_t Counts[4][MaxCountedSide * MaxCountedSide];
    // Arrivals of the individuals of tabled cells, on the table's grid with margins,
    // in two copies like the counters; added to Delta and cleared at the end of a pass.
    std::vector<std::uint32_t> Padded[2];
    std::uint32_t States1[OffsetBlock];  // generator states of the U1 draws of a block
    std::uint32_t States2[OffsetBlock];  // and of the U2 draws
    std::uint32_t Moving1[OffsetBlock];  // the same for the individuals that may move
    std::uint32_t Moving2[OffsetBlock];
    std::int32_t Di[OffsetBlock];  // their offsets
    std::int32_t Dj[OffsetBlock];
    std::uint64_t FaultKey;    // 2 x individual + 1 of the earliest fault met, or NoFault
    const char *FaultMessage;  // its message
};

namespace {

// One mover into `cell`, or out of a bounded plot (-1).
template <typename Scratch>
inline void Arrive(Scratch &scratch, int cell) {
    if (cell < 0)
        ++scratch.Emigrants;
    else
        ++scratch.Delta[static_cast<std::size_t>(cell)];
}

}  // namespace

FastDispersal::FastDispersal(int threadCount)
    : threadCount_(std::max(threadCount, 1)), scratch_(new Scratch[threadCount_]()) {
    if (threadCount_ > 1) pool_ = std::make_unique<WorkerPool>(threadCount_ - 1);
}

FastDispersal::~FastDispersal() = default;

std::uint64_t FastDispersal::ChunkSizeFor(std::uint64_t total, int threadCount) {
    const std::uint64_t pieces = ChunksPerThread * static_cast<std::uint64_t>(std::max(threadCount, 1));
    return std::clamp((total + pieces - 1) / pieces, MinChunkSize, MaxChunkSize);
}

std::int64_t FastDispersal::Run(TPlot &plot, const RunSpecies &species, std::uint32_t &seed,
                                const std::function<void()> &yield, bool plain) {
    struct BusyFlag {
        bool &flag;
        explicit BusyFlag(bool &f) : flag(f) { flag = true; }
        ~BusyFlag() { flag = false; }
    } busy(busy_);
    startSeed_ = seed;
    UsePlot(plot);
    species_ = &species;
    prepare_ = plain ? PrepareDispersalCellReference : PrepareDispersalCell;
    nextPlanBlock_.store(0, std::memory_order_relaxed);
    plannedBlocks_.store(0, std::memory_order_relaxed);
    chunksReady_.store(false, std::memory_order_relaxed);
    if (pool_) pool_->Start(&FastDispersal::WorkerJob, this);
    PlanBlocks();
    while (plannedBlocks_.load(std::memory_order_acquire) < planBlocks_) std::this_thread::yield();
    const PlanOutcome planned = NumberIndividuals();
    ChooseTable(plain);
    StartChunks();
    RunChunks(yield, planned.CellsVisited);
    return FinishPass(plot, seed, planned.Fault);
}

// The grids of a pass, made anew only for a plot of another shape.
void FastDispersal::UsePlot(const TPlot &plot) {
    plot_ = &plot;
    bounded_ = plot.Bounded;
    if (plot.Width == width_ && plot.Height == height_) return;
    width_ = plot.Width;
    height_ = plot.Height;
    cells_ = plot.Cells();
    paddedColumns_ = height_ + 2 * OffsetTable::MaxReach;
    planBlocks_ = std::max(MinPlanBlocks, cells_ / PlanBlockCells);
    planFault_.assign(static_cast<std::size_t>(planBlocks_), PlanFault{});
    plan_.assign(static_cast<std::size_t>(cells_), CellPlan{});
    first_.assign(static_cast<std::size_t>(cells_) + 1, 0);
    const std::size_t padded = static_cast<std::size_t>(width_ + 2 * OffsetTable::MaxReach) * paddedColumns_;
    for (int t = 0; t < threadCount_; ++t) {
        scratch_[t].Delta.assign(static_cast<std::size_t>(cells_), 0);
        for (auto &copy : scratch_[t].Padded) copy.assign(padded, 0);
    }
}

// Field by field: copies of whole plans through the stack cost more than the rest.
void FastDispersal::PlanOf(const DispersalCell &cell, CellPlan &p) {
    p.N = cell.N;
    p.S = cell.S;
    p.CellSize = cell.CellSize;
    p.Scale = cell.S / cell.CellSize;
    p.Reach = 0;
    p.StayFrom = 0;
    const double reach = std::fabs(p.Scale) * RadiusBound * (1 + BoundRoom);
    if (cell.N <= 0) {
        p.Mode = CellMode::Empty;
    } else if (reach < 0.5) {
        p.Mode = CellMode::AllStay;
    } else if (!(reach < ApproximateReachLimit)) {
        p.Mode = CellMode::Exact;
    } else {
        p.Reach = static_cast<std::int32_t>(reach + 0.5) + 1;
        p.Mode = p.Reach <= MaxCountedReach ? CellMode::Counted : CellMode::Direct;
    }
}

// Any thread plans any block of cells; a fault ends its block's planning.
void FastDispersal::PlanBlocks() {
    for (int b; (b = nextPlanBlock_.fetch_add(1, std::memory_order_relaxed)) < planBlocks_;) {
        PlanBlock(b);
        plannedBlocks_.fetch_add(1, std::memory_order_release);
    }
}

void FastDispersal::PlanBlock(int block) {
    double stayScale = std::numeric_limits<double>::quiet_NaN();
    std::uint64_t stayFrom = 0;
    planFault_[block] = {};
    for (int c = BlockBegin(block); c < BlockBegin(block + 1); ++c) {
        if (planFault_[block].Error) {
            plan_[c] = CellPlan{};
            continue;
        }
        try {
            PlanOf(prepare_(*plot_, *species_, c / height_, c % height_), plan_[c]);
        } catch (...) {
            plan_[c] = CellPlan{};
            planFault_[block] = {std::current_exception(), c};
            continue;
        }
        if (plan_[c].Mode == CellMode::Counted || plan_[c].Mode == CellMode::Direct) {
            // Cells mostly share their scale: the threshold is worked out once per scale met.
            if (plan_[c].Scale != stayScale) stayFrom = StayThreshold(stayScale = plan_[c].Scale);
            plan_[c].StayFrom = stayFrom;
        }
    }
}

// Numbers the individuals in the reference's order. The first fault ends the pass at
// its cell: the cells after it draw nothing.
FastDispersal::PlanOutcome FastDispersal::NumberIndividuals() {
    PlanOutcome outcome;
    outcome.CellsVisited = cells_;
    int faultCell = cells_;
    for (const PlanFault &f : planFault_) {
        if (!f.Error) continue;
        outcome.Fault = f.Error;
        outcome.CellsVisited = f.Cell + 1;
        faultCell = f.Cell;
        break;
    }
    std::uint64_t total = 0;
    for (int c = 0; c < cells_; ++c) {
        first_[c] = total;
        if (c >= faultCell) plan_[c] = CellPlan{};
        total += static_cast<std::uint64_t>(std::max(plan_[c].N, 0));
    }
    first_[cells_] = total;
    total_ = total;
    return outcome;
}

// The table pays for its making (some hundred thousand individuals' worth) when its scale
// comes back pass after pass, as it does when the crowding does not change scales.
void FastDispersal::ChooseTable(bool plain) {
    tableInUse_ = false;
    if (plain) return;
    int largest = -1;
    for (int c = 0; c < cells_; ++c) {
        const CellPlan &p = plan_[c];
        if (p.Mode == CellMode::Counted && p.Reach <= OffsetTable::MaxReach && (largest < 0 || p.N > plan_[largest].N))
            largest = c;
    }
    if (largest < 0) return;
    const double scale = plan_[largest].Scale;
    const bool recurs = scale == lastCandidate_;
    lastCandidate_ = scale;
    if (!table_.IsFor(scale) || table_.Reach() != plan_[largest].Reach) {
        std::uint64_t individuals = 0;
        for (int c = 0; c < cells_; ++c)
            if (plan_[c].Mode == CellMode::Counted && plan_[c].Scale == scale) individuals += plan_[c].N;
        if (!recurs && individuals < TableWorth) return;
        table_.Build(scale, plan_[largest].Reach);
    }
    if (table_.PaddedColumns() != paddedColumns_) table_.UsePaddedColumns(paddedColumns_);
    tableInUse_ = true;
}

bool FastDispersal::Tabled(const CellPlan &p) const {
    return tableInUse_ && p.Mode == CellMode::Counted && table_.IsFor(p.Scale) && p.Reach == table_.Reach();
}

void FastDispersal::StartChunks() {
    chunkSize_ = ChunkSizeFor(total_, threadCount_);
    chunkCount_ = (total_ + chunkSize_ - 1) / chunkSize_;
    nextChunk_.store(0, std::memory_order_relaxed);
    doneIndividuals_.store(0, std::memory_order_relaxed);
    earliestFault_.store(NoFault, std::memory_order_relaxed);
    yieldsDone_ = 0;
    yieldError_ = nullptr;
    for (int t = 0; t < threadCount_; ++t) {
        std::fill(scratch_[t].Delta.begin(), scratch_[t].Delta.end(), 0u);
        scratch_[t].Emigrants = 0;
        scratch_[t].FaultKey = NoFault;
        scratch_[t].FaultMessage = nullptr;
    }
    chunksReady_.store(true, std::memory_order_release);
}

// The calling thread takes chunks like the workers and yields as the work advances.
void FastDispersal::RunChunks(const std::function<void()> &yield, int cellsVisited) {
    const auto yieldSoFar = [&] {
        if (total_ > 0) PaceYields(yield, cellsVisited * doneIndividuals_.load(std::memory_order_relaxed) / total_);
    };
    for (std::uint64_t chunk; (chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed)) < chunkCount_;) {
        RunChunk(chunk, scratch_[0]);
        yieldSoFar();
    }
    FoldPadded(scratch_[0]);
    if (pool_) {
        // Every chunk is taken: a worker that has not begun has nothing left to do.
        pool_->Withdraw();
        while (!pool_->WaitFor(std::chrono::milliseconds(1))) yieldSoFar();
    }
    PaceYields(yield, cellsVisited);
    if (yieldError_) std::rethrow_exception(yieldError_);
}

// The earliest fault decides and the plot keeps its counts; otherwise every thread's
// arrivals minus departures are added to the counts the pass started from.
std::int64_t FastDispersal::FinishPass(TPlot &plot, std::uint32_t &seed, const std::exception_ptr &planFault) {
    std::uint64_t faultKey = NoFault;
    const char *faultMessage = nullptr;
    for (int t = 0; t < threadCount_; ++t) {
        if (scratch_[t].FaultKey < faultKey) {
            faultKey = scratch_[t].FaultKey;
            faultMessage = scratch_[t].FaultMessage;
        }
    }
    if (faultKey != NoFault) {
        seed = AdvanceRandom(startSeed_, faultKey + 1);  // both draws of the faulting individual
        ThrowFloatFault(faultMessage);
    }
    seed = AdvanceRandom(startSeed_, 2 * total_);
    if (planFault) std::rethrow_exception(planFault);

    std::int32_t *counts = plot.Density.Data();
    for (int c = 0; c < cells_; ++c) {
        std::uint32_t sum = static_cast<std::uint32_t>(std::max(plan_[c].N, 0));
        for (int t = 0; t < threadCount_; ++t) sum += scratch_[t].Delta[c];
        counts[c] = static_cast<std::int32_t>(sum);
    }
    std::int64_t emigrants = 0;
    for (int t = 0; t < threadCount_; ++t) emigrants += scratch_[t].Emigrants;
    return emigrants;
}

// A worker helps plan, waits for the chunks (a short wait: the numbering of the
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
    FoldPadded(scratch);
}

void FastDispersal::PaceYields(const std::function<void()> &yield, std::uint64_t target) {
    for (; yieldsDone_ < target; ++yieldsDone_) {
        if (yieldError_ || !yield) continue;
        try {
            yield();
        } catch (...) {
            // Kept until the workers are done with the pass, then raised.
            yieldError_ = std::current_exception();
        }
    }
}

void FastDispersal::RunChunk(std::uint64_t chunk, Scratch &scratch) {
    const std::uint64_t begin = chunk * chunkSize_;
    const std::uint64_t end = std::min(total_, begin + chunkSize_);
    // A fault before this chunk decides the pass: its draws cannot matter.
    if (earliestFault_.load(std::memory_order_relaxed) >= 2 * begin) {
        int cell = static_cast<int>(std::upper_bound(first_.begin(), first_.end(), begin) - first_.begin()) - 1;
        std::uint32_t state = AdvanceRandom(startSeed_, 2 * begin);
        for (std::uint64_t at = begin; at < end;) {
            while (first_[cell + 1] <= at) ++cell;  // cells without draws
            const std::uint64_t count = std::min(end, first_[cell + 1]) - at;
            bool ok = true;
            state = RunPiece(cell, at - first_[cell], count, state, scratch, ok);
            if (!ok) break;
            at += count;
        }
    }
    doneIndividuals_.fetch_add(end - begin, std::memory_order_relaxed);
}

std::uint32_t FastDispersal::RunPiece(int cell, std::uint64_t first, std::uint64_t count, std::uint32_t state,
                                      Scratch &scratch, bool &ok) {
    std::uint32_t moved = 0;
    switch (plan_[cell].Mode) {
    case CellMode::Empty:
        break;
    case CellMode::AllStay:
        state = AdvanceRandom(state, 2 * count);
        break;
    case CellMode::Exact:
        state = RunExact(cell, first, count, state, scratch, moved, ok);
        break;
    case CellMode::Counted:
    case CellMode::Direct:
        if (Tabled(plan_[cell]))
            state = RunTabled(cell, count, state, scratch, moved);
        else
            state = RunApproximate(cell, count, state, scratch, moved);
        break;
    }
    scratch.Delta[cell] -= moved;
    return state;
}

void FastDispersal::RecordFault(std::uint64_t key, const char *message, Scratch &scratch) {
    if (key < scratch.FaultKey) {
        scratch.FaultKey = key;
        scratch.FaultMessage = message;
    }
    std::uint64_t seen = earliestFault_.load(std::memory_order_relaxed);
    while (key < seen && !earliestFault_.compare_exchange_weak(seen, key, std::memory_order_relaxed)) {}
}

// One individual at a time by the reference's expression; a fault is recorded under
// its individual's number and ends the piece.
std::uint32_t FastDispersal::RunExact(int cell, std::uint64_t first, std::uint64_t count, std::uint32_t state,
                                      Scratch &scratch, std::uint32_t &moved, bool &ok) {
    const CellPlan &p = plan_[cell];
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint32_t state1 = NextRandom(state);
        state = NextRandom(state1);
        std::int64_t di = 0, dj = 0;
        if (const char *fault = ExactOffsets(state1, state, p.S, p.CellSize, di, dj)) {
            RecordFault(2 * (first_[cell] + first + k) + 1, fault, scratch);
            ok = false;
            return state;
        }
        if (di == 0 && dj == 0) continue;
        Arrive(scratch, DestinationCell(cell, di, dj));
        ++moved;
    }
    return state;
}

// Blocks of individuals through the vectorised kernel; the offsets it marks are
// decided by the exact expression, which cannot fault at these scales.
std::uint32_t FastDispersal::RunApproximate(int cell, std::uint64_t count, std::uint32_t state, Scratch &scratch,
                                            std::uint32_t &moved) {
    const CellPlan &p = plan_[cell];
    const int side = 2 * p.Reach + 1;
    // Counting pays when the piece is large beside the counters to add and clear.
    const bool counted = p.Mode == CellMode::Counted && count >= 2u * side * side;
    const bool nearby = p.Reach < std::min(width_, height_);
    const int row = cell / height_, column = cell % height_;
    for (std::uint64_t done = 0; done < count;) {
        const int block = static_cast<int>(std::min<std::uint64_t>(OffsetBlock, count - done));
        BlockStates(state, block, scratch.States1, scratch.States2);
        const std::uint32_t *states1 = scratch.States1;
        const std::uint32_t *states2 = scratch.States2;
        const int candidates = MayMove(p, block, scratch, states1, states2);
        ApproximateOffsets(states1, states2, candidates, p.Scale, scratch.Di, scratch.Dj);
        for (int k = 0; k < candidates; ++k) {
            std::int64_t di = scratch.Di[k];
            std::int64_t dj = scratch.Dj[k];
            if (di == OffsetToRecompute) ExactOffsets(states1[k], states2[k], p.S, p.CellSize, di, dj);
            if (counted) {
                ++scratch.Counts[k & 3][(di + p.Reach) * side + dj + p.Reach];
            } else if (di != 0 || dj != 0) {
                Arrive(scratch, nearby ? NearbyCell(row, column, static_cast<int>(di), static_cast<int>(dj))
                                       : DestinationCell(cell, di, dj));
                ++moved;
            }
        }
        state = scratch.States2[block - 1];
        done += static_cast<std::uint64_t>(block);
    }
    if (counted) moved += AddCounted(cell, p, scratch);
    return state;
}

// Offsets from the table; the unsure ones from the kernel, or exactly. Every
// individual is added as a mover, the stayers as movers into their own cell.
std::uint32_t FastDispersal::RunTabled(int cell, std::uint64_t count, std::uint32_t state, Scratch &scratch,
                                       std::uint32_t &moved) {
    const CellPlan &p = plan_[cell];
    const int home = (cell / height_ + OffsetTable::MaxReach) * paddedColumns_ + cell % height_ + OffsetTable::MaxReach;
    for (std::uint64_t done = 0; done < count;) {
        const int block = static_cast<int>(std::min<std::uint64_t>(OffsetBlock, count - done));
        BlockStates(state, block, scratch.States1, scratch.States2);
        int unsure = 0;
        for (int k = 0; k < block; ++k) {
            const std::uint8_t entry = table_.At(scratch.States1[k], scratch.States2[k]);
            ++scratch.Padded[k & 1][home + table_.Shift(entry)];
            scratch.Moving1[unsure] = scratch.States1[k];
            scratch.Moving2[unsure] = scratch.States2[k];
            unsure += entry == OffsetTable::Unsure;
        }
        scratch.Padded[0][home] -= static_cast<std::uint32_t>(unsure);  // added above at Shift(Unsure) = 0
        ApproximateOffsets(scratch.Moving1, scratch.Moving2, unsure, p.Scale, scratch.Di, scratch.Dj);
        for (int k = 0; k < unsure; ++k) {
            std::int64_t di = scratch.Di[k];
            std::int64_t dj = scratch.Dj[k];
            if (di == OffsetToRecompute) ExactOffsets(scratch.Moving1[k], scratch.Moving2[k], p.S, p.CellSize, di, dj);
            ++scratch.Padded[k & 1][home + di * paddedColumns_ + dj];
        }
        moved += static_cast<std::uint32_t>(block);
        state = scratch.States2[block - 1];
        done += static_cast<std::uint64_t>(block);
    }
    return state;
}

// Adds the arrivals on the grid with margins to Delta, each margin cell to the cell
// it wraps to (or to the emigrants of a bounded plot), and clears them.
void FastDispersal::FoldPadded(Scratch &scratch) const {
    constexpr int margin = OffsetTable::MaxReach;
    if (!tableInUse_) return;  // nothing was added
    for (int pi = 0; pi < width_ + 2 * margin; ++pi) {
        std::uint32_t *row0 = scratch.Padded[0].data() + static_cast<std::size_t>(pi) * paddedColumns_;
        std::uint32_t *row1 = scratch.Padded[1].data() + static_cast<std::size_t>(pi) * paddedColumns_;
        const bool rowInside = pi >= margin && pi < width_ + margin;
        if (rowInside) {
            // The inner cells, without a wrap.
            std::uint32_t *delta = scratch.Delta.data() + static_cast<std::size_t>(pi - margin) * height_;
            for (int j = 0; j < height_; ++j) {
                delta[j] += row0[j + margin] + row1[j + margin];
                row0[j + margin] = row1[j + margin] = 0;
            }
        }
        for (int pj = 0; pj < paddedColumns_; ++pj) {
            if (rowInside && pj == margin) pj = height_ + margin;  // done above
            if (pj >= paddedColumns_) break;
            const std::uint32_t n = row0[pj] + row1[pj];
            if (n == 0) continue;
            row0[pj] = row1[pj] = 0;
            if (bounded_) {
                scratch.Emigrants += n;
                continue;
            }
            scratch.Delta[static_cast<std::size_t>(WrapIndex(pi - margin, 0, width_)) * height_ +
                          WrapIndex(pj - margin, 0, height_)] += n;
        }
    }
}

// Sorts the sure stayers of a block out where that pays; returns how many may move,
// whose states `states1` and `states2` then point to.
int FastDispersal::MayMove(const CellPlan &p, int block, Scratch &scratch, const std::uint32_t *&states1,
                           const std::uint32_t *&states2) {
    if (p.StayFrom > (1ull << 32)) return block;
    int candidates = 0;
    for (int k = 0; k < block; ++k) {
        scratch.Moving1[candidates] = scratch.States1[k];
        scratch.Moving2[candidates] = scratch.States2[k];
        candidates += scratch.States2[k] < p.StayFrom;
    }
    states1 = scratch.Moving1;
    states2 = scratch.Moving2;
    return candidates;
}

// Movers are added once per offset, then the counters are cleared; returns the movers.
std::uint32_t FastDispersal::AddCounted(int cell, const CellPlan &p, Scratch &scratch) const {
    const int side = 2 * p.Reach + 1;
    const int row = cell / height_, column = cell % height_;
    std::uint32_t moved = 0;
    for (int di = -p.Reach; di <= p.Reach; ++di) {
        for (int dj = -p.Reach; dj <= p.Reach; ++dj) {
            const int slot = (di + p.Reach) * side + dj + p.Reach;
            std::uint32_t n = 0;
            for (auto &lane : scratch.Counts) {
                n += lane[slot];
                lane[slot] = 0;
            }
            if (n == 0 || (di == 0 && dj == 0)) continue;
            const int to = DestinationOf(*plot_, row, column, di, dj);
            if (to < 0)
                scratch.Emigrants += n;
            else
                scratch.Delta[to] += n;
            moved += n;
        }
    }
    return moved;
}

}  // namespace glebix
