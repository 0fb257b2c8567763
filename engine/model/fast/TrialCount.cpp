// The trial count in three builds: one trial after the other but without the chain
// through the generator (every x86-64 processor), AVX2 (8 trials at a time) and
// AVX-512 (16). The build is chosen at the first call, not by an ifunc, which the
// sanitizers do not support.
#include "TrialCount.h"

#include <immintrin.h>

namespace glebix {
namespace {

const std::uint32_t *const Mul = TrialDraws.Mul.data();
const std::uint32_t *const Inc = TrialDraws.Inc.data();

std::int32_t AtMostPlain(std::uint32_t state, std::int32_t count, std::uint32_t threshold) {
    std::int32_t total = 0;
    for (std::int32_t k = 0; k < count; ++k) total += Mul[k] * state + Inc[k] <= threshold;
    return total;
}

// Lanes k .. k + lanes - 1 that hold trials (lane bit set), for `count` trials.
inline std::uint32_t LanesInCount(std::int32_t k, std::int32_t count, int lanes) {
    return count - k >= lanes ? (1u << lanes) - 1 : (1u << (count - k)) - 1;
}

__attribute__((target("avx2,popcnt"))) std::int32_t AtMostAvx2(std::uint32_t state, std::int32_t count,
                                                               std::uint32_t threshold) {
    const __m256i x = _mm256_set1_epi32(static_cast<int>(state));
    const __m256i t = _mm256_set1_epi32(static_cast<int>(threshold));
    std::int32_t total = 0;
    for (std::int32_t k = 0; k < count; k += 8) {
        const __m256i mul = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(Mul + k));
        const __m256i inc = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(Inc + k));
        const __m256i states = _mm256_add_epi32(_mm256_mullo_epi32(mul, x), inc);
        // Unsigned states <= t exactly where max(states, t) is t.
        const __m256i atMost = _mm256_cmpeq_epi32(_mm256_max_epu32(states, t), t);
        const std::uint32_t bits = static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(atMost)));
        total += __builtin_popcount(bits & LanesInCount(k, count, 8));
    }
    return total;
}

__attribute__((target("avx512f,popcnt"))) std::int32_t AtMostAvx512(std::uint32_t state, std::int32_t count,
                                                                    std::uint32_t threshold) {
    const __m512i x = _mm512_set1_epi32(static_cast<int>(state));
    const __m512i t = _mm512_set1_epi32(static_cast<int>(threshold));
    std::int32_t total = 0;
    for (std::int32_t k = 0; k < count; k += 16) {
        const __m512i states =
            _mm512_add_epi32(_mm512_mullo_epi32(_mm512_loadu_si512(Mul + k), x), _mm512_loadu_si512(Inc + k));
        const __mmask16 lanes = static_cast<__mmask16>(LanesInCount(k, count, 16));
        total += __builtin_popcount(_mm512_mask_cmple_epu32_mask(lanes, states, t));
    }
    return total;
}

TrialsAtMostFunction ChooseBuild() {
    const TrialCountBuilds builds = AvailableTrialCountBuilds();
    return builds.Avx512 ? builds.Avx512 : builds.Avx2 ? builds.Avx2 : builds.Plain;
}

}  // namespace

TrialCountBuilds AvailableTrialCountBuilds() {
    __builtin_cpu_init();
    return {&AtMostPlain, __builtin_cpu_supports("avx2") ? &AtMostAvx2 : nullptr,
            __builtin_cpu_supports("avx512f") ? &AtMostAvx512 : nullptr};
}

std::int32_t TrialsAtMost(std::uint32_t state, std::int32_t count, std::uint32_t threshold) {
    static const TrialsAtMostFunction best = ChooseBuild();
    return best(state, count, threshold);
}

}  // namespace glebix
