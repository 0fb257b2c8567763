// Helpers shared by the engine tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Simul.h"
#include "TestFiles.h"

namespace glebix::testing {

// Generator state after `draws` more uniform draws from `seed`.
inline std::uint32_t SeedAfter(std::uint32_t seed, std::uint64_t draws) {
    for (std::uint64_t k = 0; k < draws; ++k) seed = seed * 134775813u + 1u;
    return seed;
}

// A Simul whose plot is set up for the processes without a run: cell size 1, every
// cell at `compacted` percent, counts 0, species taken from the default settings.
inline std::unique_ptr<Simul> MakeSimul(double compacted = 50) {
    auto s = std::make_unique<Simul>();
    s->Plot.CellSize = 1;
    s->Plot.NRows = s->Plot.NCols = 50;
    for (auto &&row : s->Plot.Env)
        for (auto &env : row) env = {compacted, 100 - compacted};
    s->TakeSpeciesParameters();
    return s;
}

}  // namespace glebix::testing
