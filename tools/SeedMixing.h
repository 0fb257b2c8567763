// Seeds of the replicate runs, derived from one master seed.
#pragma once

#include <cstdint>

namespace glebix::batch {

// splitmix64: a bijective 64-bit mixer whose outputs for neighbouring inputs are
// uncorrelated.
std::uint64_t SplitMix64(std::uint64_t x);

// Seed of run `run` (from 1) of a sweep with master seed `master`: run 1 uses the
// master itself, run k the low 32 bits of SplitMix64(master << 32 | k). Replicates of
// one master thus draw from unrelated points of the generator's cycle.
std::uint32_t ReplicateSeed(std::uint32_t master, int run);

}  // namespace glebix::batch
