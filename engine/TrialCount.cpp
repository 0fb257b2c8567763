// The trial count in three builds of one kernel: SSE2 (every x86-64 processor), AVX2
// and AVX-512. The build is chosen at the first call, not by an ifunc, which the
// sanitizers do not support.
#include "TrialCount.h"

#include <cstring>

namespace glebix {
namespace {

template <typename V>
inline __attribute__((always_inline)) V Load(const std::uint32_t *p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// V: a vector of unsigned 32-bit lanes; S: the signed vector its comparisons give.
template <typename V, typename S>
inline __attribute__((always_inline)) std::int32_t CountAtMost(std::uint32_t state, std::int32_t count,
                                                               std::uint32_t threshold) {
    constexpr int lanes = sizeof(V) / sizeof(std::uint32_t);
    S hits = {};  // -1 per success, lane by lane
    for (int k = 0; k < count; k += lanes) {
        const V states = Load<V>(&TrialDraws.Mul[k]) * state + Load<V>(&TrialDraws.Inc[k]);
        const S inCount = Load<V>(&TrialDraws.Index[k]) < static_cast<std::uint32_t>(count);
        hits += (states <= threshold) & inCount;
    }
    std::int32_t total = 0;
    for (int lane = 0; lane < lanes; ++lane) total -= hits[lane];
    return total;
}

typedef std::uint32_t V4u __attribute__((vector_size(16)));
typedef std::int32_t V4i __attribute__((vector_size(16)));
typedef std::uint32_t V8u __attribute__((vector_size(32)));
typedef std::int32_t V8i __attribute__((vector_size(32)));
typedef std::uint32_t V16u __attribute__((vector_size(64)));
typedef std::int32_t V16i __attribute__((vector_size(64)));

std::int32_t AtMostSse2(std::uint32_t state, std::int32_t count, std::uint32_t threshold) {
    return CountAtMost<V4u, V4i>(state, count, threshold);
}

__attribute__((target("avx2"))) std::int32_t AtMostAvx2(std::uint32_t state, std::int32_t count,
                                                        std::uint32_t threshold) {
    return CountAtMost<V8u, V8i>(state, count, threshold);
}

__attribute__((target("avx512f"))) std::int32_t AtMostAvx512(std::uint32_t state, std::int32_t count,
                                                             std::uint32_t threshold) {
    return CountAtMost<V16u, V16i>(state, count, threshold);
}

TrialsAtMostFunction ChooseBuild() {
    const TrialCountBuilds builds = AvailableTrialCountBuilds();
    return builds.Avx512 ? builds.Avx512 : builds.Avx2 ? builds.Avx2 : builds.Sse2;
}

}  // namespace

TrialCountBuilds AvailableTrialCountBuilds() {
    __builtin_cpu_init();
    return {&AtMostSse2, __builtin_cpu_supports("avx2") ? &AtMostAvx2 : nullptr,
            __builtin_cpu_supports("avx512f") ? &AtMostAvx512 : nullptr};
}

std::int32_t TrialsAtMost(std::uint32_t state, std::int32_t count, std::uint32_t threshold) {
    static const TrialsAtMostFunction best = ChooseBuild();
    return best(state, count, threshold);
}

}  // namespace glebix
