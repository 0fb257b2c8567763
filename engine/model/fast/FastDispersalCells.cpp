// The fast dispersal pass, one cell's individuals at a time: the plan of a cell, and
// the ways its individuals are drawn and added where they arrive (exactly, through
// the vectorised kernel, counted per offset, or read from the offset table).
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <utility>

#include "FastDispersal.h"

namespace glebix {
namespace {

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

static_assert(OffsetTable::MaxReach <= StepResources::Margin, "the table's offsets land within the margins");

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

// From the cell's preparation, which may raise its fault.
const FastDispersal::CellPlan &FastDispersal::PlanFor(int cell, Scratch &scratch) const {
    CellPlan &p = scratch.Plan;
    if (scratch.PlanCell == cell) return p;
    PlanOf(prepare_(*plot_, *species_, cell / height_, cell % height_), p);
    scratch.PlanCell = cell;
    if (p.Mode == CellMode::Counted || p.Mode == CellMode::Direct) {
        // Cells mostly share their scale: the threshold is worked out once per scale met.
        if (p.Scale != scratch.StayScale) scratch.StayFrom = StayThreshold(scratch.StayScale = p.Scale);
        p.StayFrom = scratch.StayFrom;
    }
    if (p.Mode == CellMode::Counted && p.Reach <= OffsetTable::MaxReach && p.N > scratch.LargestN) {
        scratch.LargestN = p.N;
        scratch.LargestScale = p.Scale;
        scratch.LargestReach = p.Reach;
    }
    return p;
}

bool FastDispersal::Tabled(const CellPlan &p) const {
    return tableInUse_ && p.Mode == CellMode::Counted && table_.IsFor(p.Scale) && p.Reach == table_.Reach();
}

void FastDispersal::Arrive(Scratch &scratch, int row, int column, std::int64_t di, std::int64_t dj,
                           std::uint32_t n) const {
    int to;
    if (std::abs(di) < width_ && std::abs(dj) < height_) {
        // At most one wrap, without a division.
        int i = row + static_cast<int>(di);
        int j = column + static_cast<int>(dj);
        if (bounded_) {
            to = i < 0 || i >= width_ || j < 0 || j >= height_ ? -1 : i * height_ + j;
        } else {
            i += i < 0 ? width_ : 0;
            i -= i >= width_ ? width_ : 0;
            j += j < 0 ? height_ : 0;
            j -= j >= height_ ? height_ : 0;
            to = i * height_ + j;
        }
    } else {
        to = DestinationOf(*plot_, row, column, di, dj);
    }
    if (to < 0)
        scratch.Emigrants += n;
    else
        scratch
            .Lane[0][(to / height_ + StepResources::Margin) * paddedColumns_ + to % height_ + StepResources::Margin] +=
            n;
}

std::uint32_t FastDispersal::RunPiece(int cell, std::uint64_t cellFirst, std::uint64_t first, std::uint64_t count,
                                      std::uint32_t state, Scratch &scratch, bool &ok) {
    const CellPlan *plan;
    try {
        plan = &PlanFor(cell, scratch);
    } catch (...) {
        RecordFault(2 * cellFirst, cell, {}, std::current_exception(), scratch);
        ok = false;
        return state;
    }
    const CellPlan &p = *plan;
    std::uint32_t moved = 0;
    switch (p.Mode) {
    case CellMode::Empty:
        break;
    case CellMode::AllStay:
        state = AdvanceRandom(state, 2 * count);
        break;
    case CellMode::Exact:
        state = RunExact(cell, p, 2 * (cellFirst + first) + 1, count, state, scratch, moved, ok);
        break;
    case CellMode::Counted:
    case CellMode::Direct:
        if (Tabled(p)) {
            state = RunTabled(cell, p, count, state, scratch);
            moved = static_cast<std::uint32_t>(count);
        } else {
            state = RunApproximate(cell, p, count, state, scratch, moved);
        }
        break;
    }
    scratch.Lane[0][step_->PaddedIndex(cell)] -= moved;
    return state;
}

void FastDispersal::RecordFault(std::uint64_t key, int cell, MessageKey message, std::exception_ptr error,
                                Scratch &scratch) {
    if (key < scratch.FaultKey) {
        scratch.FaultKey = key;
        scratch.FaultCell = cell;
        scratch.FaultMessage = message;
        scratch.FaultError = std::move(error);
    }
    std::uint64_t seen = earliestFault_.load(std::memory_order_relaxed);
    while (key < seen && !earliestFault_.compare_exchange_weak(seen, key, std::memory_order_relaxed)) {}
}

// One individual at a time by the reference's expression; a fault is recorded under
// its individual's key (2 x its number + 1, from `firstKey`) and ends the piece.
std::uint32_t FastDispersal::RunExact(int cell, const CellPlan &p, std::uint64_t firstKey, std::uint64_t count,
                                      std::uint32_t state, Scratch &scratch, std::uint32_t &moved, bool &ok) {
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint32_t state1 = NextRandom(state);
        state = NextRandom(state1);
        std::int64_t di = 0, dj = 0;
        if (const MessageKey fault = ExactOffsets(state1, state, p.S, p.CellSize, di, dj)) {
            RecordFault(firstKey + 2 * k, cell, fault, nullptr, scratch);
            ok = false;
            return state;
        }
        if (di == 0 && dj == 0) continue;
        Arrive(scratch, cell / height_, cell % height_, di, dj);
        ++moved;
    }
    return state;
}

// Blocks of individuals through the vectorised kernel; the offsets it marks are
// decided by the exact expression, which cannot fault at these scales. Offsets within
// the margins land on the work grid without a wrap.
std::uint32_t FastDispersal::RunApproximate(int cell, const CellPlan &p, std::uint64_t count, std::uint32_t state,
                                            Scratch &scratch, std::uint32_t &moved) {
    const int side = 2 * p.Reach + 1;
    // Counting pays when the piece is large beside the counters to add and clear.
    const bool counted = p.Mode == CellMode::Counted && count >= 2u * side * side;
    const bool withinMargins = p.Reach <= StepResources::Margin;
    const int row = cell / height_, column = cell % height_;
    std::uint32_t *const home = scratch.Lane[0] + step_->PaddedIndex(cell);
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
                if (withinMargins)
                    ++home[di * paddedColumns_ + dj];
                else
                    Arrive(scratch, row, column, di, dj);
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
std::uint32_t FastDispersal::RunTabled(int cell, const CellPlan &p, std::uint64_t count, std::uint32_t state,
                                       Scratch &scratch) {
    const int home = step_->PaddedIndex(cell);
    for (std::uint64_t done = 0; done < count;) {
        const int block = static_cast<int>(std::min<std::uint64_t>(OffsetBlock, count - done));
        BlockStates(state, block, scratch.States1, scratch.States2);
        int unsure = 0;
        for (int k = 0; k < block; ++k) {
            const std::uint8_t entry = table_.At(scratch.States1[k], scratch.States2[k]);
            ++scratch.Lane[k & 1][home + table_.Shift(entry)];
            scratch.Moving1[unsure] = scratch.States1[k];
            scratch.Moving2[unsure] = scratch.States2[k];
            unsure += entry == OffsetTable::Unsure;
        }
        scratch.Lane[0][home] -= static_cast<std::uint32_t>(unsure);  // added above at Shift(Unsure) = 0
        ApproximateOffsets(scratch.Moving1, scratch.Moving2, unsure, p.Scale, scratch.Di, scratch.Dj);
        for (int k = 0; k < unsure; ++k) {
            std::int64_t di = scratch.Di[k];
            std::int64_t dj = scratch.Dj[k];
            if (di == OffsetToRecompute) ExactOffsets(scratch.Moving1[k], scratch.Moving2[k], p.S, p.CellSize, di, dj);
            ++scratch.Lane[k & 1][home + di * paddedColumns_ + dj];
        }
        state = scratch.States2[block - 1];
        done += static_cast<std::uint64_t>(block);
    }
    return state;
}

// Sorts the sure stayers of a block out where that pays; returns how many may move,
// whose states `states1` and `states2` then point to.
int FastDispersal::MayMove(const CellPlan &p, int block, Scratch &scratch, const std::uint32_t *&states1,
                           const std::uint32_t *&states2) const {
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
    const bool withinMargins = p.Reach <= StepResources::Margin;
    std::uint32_t *const home = scratch.Lane[0] + step_->PaddedIndex(cell);
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
            if (withinMargins)
                home[di * paddedColumns_ + dj] += n;
            else
                Arrive(scratch, cell / height_, cell % height_, di, dj, n);
            moved += n;
        }
    }
    return moved;
}

}  // namespace glebix
