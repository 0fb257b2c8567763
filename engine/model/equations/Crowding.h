// A cell's capacity and its crowding excess, which survival and dispersal both work
// out, each with its own guard added to the compaction (0.0001 and 0.00001).
#pragma once

#include <algorithm>
#include <cstdint>

#include "Conversions.h"
#include "FloatChecks.h"

namespace glebix {

struct Crowding {
    std::int64_t Capacity = 0;  // trunc(Compacted / (C + guard))
    std::int32_t Excess = 0;    // max(0, count + 1 - Capacity), narrowed to 32 bits
};

// trunc(compacted / divisor) with the quotient in long double, raising the faults of
// the division and of the truncation. The quotient in double is within 2^-51 of it,
// relatively; where it lies further than 2^-48 from a whole number, both truncate
// alike and the double one decides.
inline std::int64_t Capacity(double compacted, long double divisor) {
    const double q = compacted / static_cast<double>(divisor);
    if (q >= 0 && q < 0x1p52) {
        const double whole = static_cast<double>(static_cast<std::int64_t>(q));
        const double room = q * 0x1p-48;
        if (q - whole > room && whole + 1 - q > room) return static_cast<std::int64_t>(whole);
    }
    return Truncate(Divide(compacted, divisor));
}

// Raises the faults of the division and of the truncation. The + 1 makes a cell
// holding exactly its capacity already one over it; the guard keeps the capacity
// finite for C = 0.
inline Crowding CellCrowding(double compacted, double compactionC, long double guard, std::int32_t count) {
    Crowding c;
    c.Capacity = Capacity(compacted, compactionC + guard);
    const std::int64_t over =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(count) + 1u - static_cast<std::uint64_t>(c.Capacity));
    c.Excess = Narrow32(std::max<std::int64_t>(0, over));
    return c;
}

}  // namespace glebix
