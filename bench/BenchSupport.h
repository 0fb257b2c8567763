// What the benchmark files share: the seed of every measured run and the count that
// tells a benchmark how many individuals a run moved.
#pragma once

#include <cstdint>

#include "Plot.h"

namespace glebix {

inline constexpr std::uint32_t BenchSeed = 20261208;

// Individuals on the plot, negative counts left out.
inline std::int64_t Individuals(const TPlot &plot) {
    std::int64_t total = 0;
    for (const auto &row : plot.Density)
        for (std::int32_t n : row) total += n > 0 ? n : 0;
    return total;
}

}  // namespace glebix
