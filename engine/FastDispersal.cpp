// The fast dispersal pass. The calling thread prepares every cell (capacity, excess,
// scale: the faults of that stage are met in cell order), numbers the individuals of
// the pass in the reference's order, and splits them into chunks. Any thread can run
// any chunk: a chunk's first draw is at 2 x (its first individual) after the pass's
// first state, which the generator reaches by jumping ahead. Every thread adds its
// movers into its own grid of arrivals minus departures; the grids are summed at the
// end, so the result does not depend on which thread ran what.
#include "FastDispersal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "Dispersal.h"
#include "Errors.h"
#include "Simul.h"

namespace glebix {
namespace {

// Individuals per chunk: small enough to share the work evenly and to let the
// calling thread yield often, large enough to make the jump per chunk negligible.
constexpr std::uint64_t ChunkSize = 32768;

// Widest offset that Counted cells count per offset.
constexpr int MaxCountedReach = 24;
constexpr int MaxCountedSide = 2 * MaxCountedReach + 1;

constexpr std::uint64_t NoFault = std::numeric_limits<std::uint64_t>::max();

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

// Offsets of one individual from its two generator states, by the very expression of
// the reference pass. False on a floating-point fault, whose message is then set.
bool ExactOffsets(std::uint32_t state1, std::uint32_t state2, double S, std::int32_t cellSize, std::int64_t &di,
                  std::int64_t &dj, const char *&fault) {
    const double u1 = state1 * (1.0 / 4294967296.0);
    const double theta = 2.0 * u1 * DispersalPi;
    const double u2 = state2 * (1.0 / 4294967296.0);
    const double radius = std::sqrt(-2.0 * std::log(std::max(u2, 0.001)));
    const double x = std::cos(theta) * radius * S / cellSize;
    if (!(std::fabs(x) < 9.2e18)) {
        fault = std::isinf(x) ? MsgOverflow : MsgInvalidOperation;
        return false;
    }
    di = static_cast<std::int64_t>(std::nearbyint(x));
    const double y = std::sin(theta) * radius * S / cellSize;
    if (!(std::fabs(y) < 9.2e18)) {
        fault = std::isinf(y) ? MsgOverflow : MsgInvalidOperation;
        return false;
    }
    dj = static_cast<std::int64_t>(std::nearbyint(y));
    return true;
}

int DestinationCell(int cell, std::int64_t di, std::int64_t dj) {
    return WrapIndex(cell / GridSide, di) * GridSide + WrapIndex(cell % GridSide, dj);
}

// The same for offsets within +-GridSide, without a division.
int NearbyCell(int cell, int di, int dj) {
    int i = cell / GridSide + di;
    int j = cell % GridSide + dj;
    i += i < 0 ? GridSide : 0;
    i -= i >= GridSide ? GridSide : 0;
    j += j < 0 ? GridSide : 0;
    j -= j >= GridSide ? GridSide : 0;
    return i * GridSide + j;
}

}  // namespace

struct FastDispersal::Scratch {
    std::uint32_t Delta[CellCount];  // arrivals minus departures per cell, modulo 2^32
    // Movers of the current cell per offset ((di + Reach) * side + dj + Reach), in
    // four copies so that consecutive individuals rarely add to the same counter;
    // all zero between cells.
    std::uint32_t Counts[4][MaxCountedSide * MaxCountedSide];
    std::uint32_t States1[OffsetBlock];  // generator states of the U1 draws of a block
    std::uint32_t States2[OffsetBlock];  // and of the U2 draws
    std::uint32_t Moving1[OffsetBlock];  // the same for the individuals that may move
    std::uint32_t Moving2[OffsetBlock];
    std::int32_t Di[OffsetBlock];  // their offsets
    std::int32_t Dj[OffsetBlock];
    std::uint64_t FaultKey;    // 2 x individual + 1 of the earliest fault met, or NoFault
    const char *FaultMessage;  // its message
};

FastDispersal::FastDispersal(int threadCount)
    : threadCount_(std::max(threadCount, 1)), scratch_(new Scratch[threadCount_]()) {
    if (threadCount_ > 1) pool_ = std::make_unique<WorkerPool>(threadCount_ - 1);
}

FastDispersal::~FastDispersal() = default;

void FastDispersal::Run(TPlot &plot, const RunSpecies &species, std::uint32_t &seed,
                        const std::function<void()> &yield) {
    struct BusyFlag {
        bool &flag;
        explicit BusyFlag(bool &f) : flag(f) { flag = true; }
        ~BusyFlag() { flag = false; }
    } busy(busy_);

    // Plan the cells in the reference's order; a fault here ends the pass at that
    // cell, after the draws of the cells before it.
    startSeed_ = seed;
    std::exception_ptr setUpFault;
    int cellsVisited = CellCount;
    std::uint64_t total = 0;
    for (int c = 0; c < CellCount; ++c) {
        first_[c] = total;
        CellPlan &p = plan_[c];
        p = CellPlan{};
        if (setUpFault) continue;
        DispersalCell cell;
        try {
            cell = PrepareDispersalCell(plot, species, c / GridSide, c % GridSide);
        } catch (...) {
            setUpFault = std::current_exception();
            cellsVisited = c + 1;
            continue;
        }
        p.N = cell.N;
        if (cell.N <= 0) continue;
        p.S = cell.S;
        p.CellSize = cell.CellSize;
        p.Scale = cell.S / cell.CellSize;
        const double reach = std::fabs(p.Scale) * RadiusBound * (1 + BoundRoom);
        if (reach < 0.5) {
            p.Mode = CellMode::AllStay;
        } else if (!(reach < ApproximateReachLimit)) {
            p.Mode = CellMode::Exact;
        } else {
            p.Reach = static_cast<std::int32_t>(reach + 0.5) + 1;
            p.Mode = p.Reach <= MaxCountedReach ? CellMode::Counted : CellMode::Direct;
            p.StayFrom = StayThreshold(p.Scale);
        }
        total += static_cast<std::uint64_t>(cell.N);
    }
    first_[CellCount] = total;
    total_ = total;

    chunkCount_ = (total + ChunkSize - 1) / ChunkSize;
    nextChunk_.store(0, std::memory_order_relaxed);
    doneIndividuals_.store(0, std::memory_order_relaxed);
    earliestFault_.store(NoFault, std::memory_order_relaxed);
    yieldsDone_ = 0;
    yieldError_ = nullptr;
    for (int t = 0; t < threadCount_; ++t) {
        std::memset(scratch_[t].Delta, 0, sizeof scratch_[t].Delta);
        scratch_[t].FaultKey = NoFault;
        scratch_[t].FaultMessage = nullptr;
    }

    const bool shared = pool_ && chunkCount_ > 1;
    if (shared) pool_->Start(&FastDispersal::WorkerJob, this);
    for (std::uint64_t chunk; (chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed)) < chunkCount_;) {
        RunChunk(chunk, scratch_[0]);
        PaceYields(yield, cellsVisited * doneIndividuals_.load(std::memory_order_relaxed) / total);
    }
    if (shared) {
        while (!pool_->WaitFor(std::chrono::milliseconds(1)))
            PaceYields(yield, cellsVisited * doneIndividuals_.load(std::memory_order_relaxed) / total);
    }
    PaceYields(yield, cellsVisited);
    if (yieldError_) std::rethrow_exception(yieldError_);

    // The earliest fault decides; the plot keeps its counts.
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
    seed = AdvanceRandom(startSeed_, 2 * total);
    if (setUpFault) std::rethrow_exception(setUpFault);

    for (int c = 0; c < CellCount; ++c) {
        std::uint32_t sum = static_cast<std::uint32_t>(std::max(plan_[c].N, 0));
        for (int t = 0; t < threadCount_; ++t) sum += scratch_[t].Delta[c];
        plot.Density[c / GridSide][c % GridSide] = static_cast<std::int32_t>(sum);
    }
}

void FastDispersal::WorkerJob(void *self, int worker) {
    FastDispersal &pass = *static_cast<FastDispersal *>(self);
    pass.TakeChunks(pass.scratch_[worker]);
}

void FastDispersal::TakeChunks(Scratch &scratch) {
    for (std::uint64_t chunk; (chunk = nextChunk_.fetch_add(1, std::memory_order_relaxed)) < chunkCount_;)
        RunChunk(chunk, scratch);
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
    const std::uint64_t begin = chunk * ChunkSize;
    const std::uint64_t end = std::min(total_, begin + ChunkSize);
    // A fault before this chunk decides the pass: its draws cannot matter.
    if (earliestFault_.load(std::memory_order_relaxed) >= 2 * begin) {
        int cell = static_cast<int>(std::upper_bound(first_, first_ + CellCount + 1, begin) - first_) - 1;
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
    const CellPlan &p = plan_[cell];
    std::uint32_t moved = 0;
    switch (p.Mode) {
    case CellMode::Empty:
        break;
    case CellMode::AllStay:
        state = AdvanceRandom(state, 2 * count);
        break;
    case CellMode::Exact:
        for (std::uint64_t k = 0; k < count; ++k) {
            const std::uint32_t state1 = state * RandomMultiplier + RandomIncrement;
            state = state1 * RandomMultiplier + RandomIncrement;
            std::int64_t di = 0, dj = 0;
            const char *fault = nullptr;
            if (!ExactOffsets(state1, state, p.S, p.CellSize, di, dj, fault)) {
                const std::uint64_t key = 2 * (first_[cell] + first + k) + 1;
                if (key < scratch.FaultKey) {
                    scratch.FaultKey = key;
                    scratch.FaultMessage = fault;
                }
                std::uint64_t seen = earliestFault_.load(std::memory_order_relaxed);
                while (key < seen && !earliestFault_.compare_exchange_weak(seen, key, std::memory_order_relaxed)) {}
                ok = false;
                return state;
            }
            if (di == 0 && dj == 0) continue;
            ++scratch.Delta[DestinationCell(cell, di, dj)];
            ++moved;
        }
        break;
    case CellMode::Counted:
    case CellMode::Direct: {
        const int side = 2 * p.Reach + 1;
        // Counting pays when the piece is large beside the counters to add and clear.
        const bool counted = p.Mode == CellMode::Counted && count >= 2u * side * side;
        const bool nearby = p.Reach < GridSide;
        const bool sortOut = p.StayFrom <= (1ull << 32);
        for (std::uint64_t done = 0; done < count;) {
            const int block = static_cast<int>(std::min<std::uint64_t>(OffsetBlock, count - done));
            BlockStates(state, block, scratch.States1, scratch.States2);
            const std::uint32_t *states1 = scratch.States1;
            const std::uint32_t *states2 = scratch.States2;
            int candidates = block;
            if (sortOut) {
                // Only the individuals that may move go on; the others stay.
                candidates = 0;
                for (int k = 0; k < block; ++k) {
                    scratch.Moving1[candidates] = scratch.States1[k];
                    scratch.Moving2[candidates] = scratch.States2[k];
                    candidates += scratch.States2[k] < p.StayFrom;
                }
                states1 = scratch.Moving1;
                states2 = scratch.Moving2;
            }
            ApproximateOffsets(states1, states2, candidates, p.Scale, scratch.Di, scratch.Dj);
            for (int k = 0; k < candidates; ++k) {
                std::int64_t di = scratch.Di[k];
                std::int64_t dj = scratch.Dj[k];
                if (di == OffsetToRecompute) {
                    // Near a rounding boundary: the exact expression decides. It cannot
                    // fault at these scales.
                    const char *fault = nullptr;
                    ExactOffsets(states1[k], states2[k], p.S, p.CellSize, di, dj, fault);
                }
                if (counted) {
                    ++scratch.Counts[k & 3][(di + p.Reach) * side + dj + p.Reach];
                } else if (di != 0 || dj != 0) {
                    ++scratch.Delta[nearby ? NearbyCell(cell, static_cast<int>(di), static_cast<int>(dj))
                                           : DestinationCell(cell, di, dj)];
                    ++moved;
                }
            }
            state = scratch.States2[block - 1];
            done += static_cast<std::uint64_t>(block);
        }
        if (counted) {
            // Movers are added once per offset, then the counters are cleared.
            for (int di = -p.Reach; di <= p.Reach; ++di) {
                for (int dj = -p.Reach; dj <= p.Reach; ++dj) {
                    const int slot = (di + p.Reach) * side + dj + p.Reach;
                    std::uint32_t n = 0;
                    for (auto &lane : scratch.Counts) {
                        n += lane[slot];
                        lane[slot] = 0;
                    }
                    if (n == 0 || (di == 0 && dj == 0)) continue;
                    scratch.Delta[NearbyCell(cell, di, dj)] += n;
                    moved += n;
                }
            }
        }
        break;
    }
    }
    scratch.Delta[cell] -= moved;
    return state;
}

}  // namespace glebix
