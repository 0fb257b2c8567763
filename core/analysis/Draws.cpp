#include "Draws.h"

namespace glebix::analysis {

std::uint64_t Draws::Below(std::uint64_t n) {
    unsigned __int128 m = static_cast<unsigned __int128>(engine_()) * n;
    std::uint64_t low = static_cast<std::uint64_t>(m);
    if (low < n) {
        const std::uint64_t threshold = -n % n;
        while (low < threshold) {
            m = static_cast<unsigned __int128>(engine_()) * n;
            low = static_cast<std::uint64_t>(m);
        }
    }
    return static_cast<std::uint64_t>(m >> 64);
}

namespace {
std::uint64_t SplitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}
}  // namespace

std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t a, std::uint64_t b) {
    return SplitMix(SplitMix(SplitMix(seed) ^ a) ^ b);
}

}  // namespace glebix::analysis
