// Pieces of the dispersal pass shared by the reference pass and the fast pass.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Errors.h"
#include "Plot.h"
#include "Random.h"

namespace glebix {

struct RunSpecies;

inline constexpr double DispersalPi = 3.14159265358979323846;

// What a cell's individuals share: their count at the start of the pass and the
// displacement scale S. N <= 0 means nobody moves and nothing is drawn.
struct DispersalCell {
    std::int32_t N = 0;
    double S = 0;
    std::int32_t CellSize = 1;
};

// Capacity, crowding excess and scale of cell (i, j) (0-based); raises the
// floating-point faults. The reference form works the crowding factor out even where
// it is exactly 1 (sensitivity 0); the results and faults are the same.
DispersalCell PrepareDispersalCell(const TPlot &plot, const RunSpecies &species, int i, int j);
DispersalCell PrepareDispersalCellReference(const TPlot &plot, const RunSpecies &species, int i, int j);
using DispersalCellPreparation = DispersalCell (*)(const TPlot &, const RunSpecies &, int, int);

// Displacements in cells at or beyond this magnitude do not fit an offset: the fault
// of such a value (infinite: overflow; too large or not a number: invalid operation).
inline constexpr double OffsetLimit = 9.2e18;
inline MessageKey OffsetFault(double value) { return std::isinf(value) ? MsgOverflow : MsgInvalidOperation; }

// Offset in cells: the nearest integer, halves to even (the default rounding mode).
inline std::int64_t DispersalOffset(double value) {
    if (!(std::fabs(value) < OffsetLimit)) ThrowFloatFault(OffsetFault(value));
    return static_cast<std::int64_t>(std::nearbyint(value));
}

// Offsets of one individual whose draws U1 and U2 left the generator at `state1` and
// `state2`: theta = 2 pi U1, R = sqrt(-2 ln max(U2, 0.001)), di from cos theta R S /
// CellSize, dj from sin. No key, or the message of the fault of the first offset that
// does not fit (di first; dj is then not worked out).
inline MessageKey ExactOffsets(std::uint32_t state1, std::uint32_t state2, double S, std::int32_t cellSize,
                               std::int64_t &di, std::int64_t &dj) {
    const double theta = 2.0 * UniformOf(state1) * DispersalPi;
    const double radius = std::sqrt(-2.0 * std::log(std::max(UniformOf(state2), 0.001)));
    const double x = std::cos(theta) * radius * S / cellSize;
    if (!(std::fabs(x) < OffsetLimit)) return OffsetFault(x);
    di = static_cast<std::int64_t>(std::nearbyint(x));
    const double y = std::sin(theta) * radius * S / cellSize;
    if (!(std::fabs(y) < OffsetLimit)) return OffsetFault(y);
    dj = static_cast<std::int64_t>(std::nearbyint(y));
    return {};
}

// 0-based index reached from `index` by `offset` along a side of `side` cells on the
// torus: the full wrap modulo the side.
inline int WrapIndex(int index, std::int64_t offset, int side = GridSide) {
    std::int64_t k = (index + offset) % side;
    if (k < 0) k += side;
    return static_cast<int>(k);
}

// The cell (i * Height + j) where an individual of cell (i, j) moved by (di, dj)
// arrives, or -1 when it leaves a bounded plot.
inline int DestinationOf(const TPlot &plot, int i, int j, std::int64_t di, std::int64_t dj) {
    if (plot.Bounded) {
        const std::int64_t ti = i + di, tj = j + dj;
        if (ti < 0 || ti >= plot.Width || tj < 0 || tj >= plot.Height) return -1;
        return static_cast<int>(ti) * plot.Height + static_cast<int>(tj);
    }
    return WrapIndex(i, di, plot.Width) * plot.Height + WrapIndex(j, dj, plot.Height);
}

}  // namespace glebix
