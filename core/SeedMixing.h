// Seeds of the replicate runs, derived from one master seed.
#pragma once

#include <cstdint>

namespace glebix::core {

// splitmix64: a bijective 64-bit mixer whose outputs for neighbouring inputs are
// uncorrelated.
std::uint64_t SplitMix64(std::uint64_t x);

// Seed of run `run` (from 1) of a sweep with master seed `master`: run 1 uses the
// master itself, run k the low 32 bits of SplitMix64(master << 32 | k). Replicates of
// one master thus draw from unrelated points of the generator's cycle.
std::uint32_t ReplicateSeed(std::uint32_t master, int run);

// Seed of replicate `replicate` (from 1) of point `point` (from 1) of a design run with
// `replicates` replicates per point. Common random numbers (the default): replicate r
// of every point uses the seed of run r, so that points differ only by their settings.
// Independent seeds: it uses the seed of run (point - 1) * replicates + replicate, so
// that no two runs of the study share a seed.
std::uint32_t StudySeed(std::uint32_t master, int point, int replicate, int replicates, bool independent);

}  // namespace glebix::core
