// Pieces of the dispersal pass shared by the reference pass and the fast pass.
#pragma once

#include <cmath>
#include <cstdint>

#include "Plot.h"

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
// floating-point faults.
DispersalCell PrepareDispersalCell(const TPlot &plot, const RunSpecies &species, int i, int j);

[[noreturn]] void ThrowOffsetFault(double value);

// Offset in cells: the nearest integer, halves to even (the default rounding mode).
inline std::int64_t DispersalOffset(double value) {
    if (!(std::fabs(value) < 9.2e18)) ThrowOffsetFault(value);
    return static_cast<std::int64_t>(std::nearbyint(value));
}

// 0-based index reached from `index` by `offset` on the torus. Within +-50 this is
// the single wrap into 1..50; larger offsets wrap fully.
inline int WrapIndex(int index, std::int64_t offset) {
    std::int64_t k = (index + offset) % GridSide;
    if (k < 0) k += GridSide;
    return static_cast<int>(k);
}

}  // namespace glebix
