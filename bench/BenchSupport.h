// What the benchmark files share: the seed of every measured run and the count that
// tells a benchmark how many individuals a run moved.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Plot.h"

namespace glebix {

inline constexpr std::uint32_t BenchSeed = 20261208;

// Individuals on the plot, negative counts left out.
inline std::int64_t Individuals(const TPlot &plot) {
    std::int64_t total = 0;
    for (std::size_t c = 0; c < plot.Density.Size(); ++c) total += std::max(plot.Density.Data()[c], 0);
    return total;
}

}  // namespace glebix
