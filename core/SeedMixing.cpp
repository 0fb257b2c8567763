#include "SeedMixing.h"

namespace glebix::core {

std::uint64_t SplitMix64(std::uint64_t x) {
    std::uint64_t z = x + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t ReplicateSeed(std::uint32_t master, int run) {
    if (run <= 1) return master;
    const std::uint64_t key = (static_cast<std::uint64_t>(master) << 32) | static_cast<std::uint32_t>(run);
    return static_cast<std::uint32_t>(SplitMix64(key));
}

std::uint32_t StudySeed(std::uint32_t master, int point, int replicate, int replicates, bool independent) {
    if (!independent) return ReplicateSeed(master, replicate);
    return ReplicateSeed(master, (point - 1) * replicates + replicate);
}

}  // namespace glebix::core
