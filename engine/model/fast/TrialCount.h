// Successes among up to 100 trials, counted several draws at a time. Trial k (from
// 1) of a cell whose draws start after generator state x draws the state
// a^k x + c_k, and succeeds when U = state / 2^32 is at most p, that is when the state
// is at most p 2^32 (exact: a power of two scales). The jump tables give all states
// of a cell at once; the successes, and the state after the last trial, are those of
// the trials made one by one.
#pragma once

#include <array>
#include <cstdint>

#include "Random.h"

namespace glebix {

// Most trials made one by one: above it a count draw takes the rounded expectation.
inline constexpr std::int32_t MaxDrawnTrials = 100;

// Room for whole vectors of 16 lanes.
inline constexpr int TrialTableSize = 112;

// Entry k: the map of k + 1 generator steps.
struct TrialJumps {
    std::array<std::uint32_t, TrialTableSize> Mul;
    std::array<std::uint32_t, TrialTableSize> Inc;
};

constexpr TrialJumps MakeTrialJumps() {
    TrialJumps t{};
    RandomJump step;
    for (int k = 0; k < TrialTableSize; ++k) {
        step = OneStepAfter(step);
        t.Mul[k] = step.Multiplier;
        t.Inc[k] = step.Increment;
    }
    return t;
}

inline constexpr TrialJumps TrialDraws = MakeTrialJumps();

// The generator state after `count` (1..100) trials from `state`.
inline std::uint32_t StateAfterTrials(std::uint32_t state, std::int32_t count) {
    return TrialDraws.Mul[count - 1] * state + TrialDraws.Inc[count - 1];
}

// Trials among `count` (1..100) from `state` whose state is at most `threshold`.
// Uses AVX-512 or AVX2 where the processor has them; the builds agree (tested).
std::int32_t TrialsAtMost(std::uint32_t state, std::int32_t count, std::uint32_t threshold);

// The builds themselves, for the tests; one that the processor lacks is null.
using TrialsAtMostFunction = std::int32_t (*)(std::uint32_t, std::int32_t, std::uint32_t);
struct TrialCountBuilds {
    TrialsAtMostFunction Plain;
    TrialsAtMostFunction Avx2;
    TrialsAtMostFunction Avx512;
};
TrialCountBuilds AvailableTrialCountBuilds();

// Successes among `count` (1..100) trials of probability p from `state`.
inline std::int32_t CountSuccesses(std::uint32_t state, std::int32_t count, double p) {
    const double scaled = p * 4294967296.0;
    if (!(scaled >= 0)) return 0;  // p < 0 (or not a number): no state qualifies
    if (scaled >= 4294967295.0) return count;
    return TrialsAtMost(state, count, static_cast<std::uint32_t>(scaled));
}

}  // namespace glebix
