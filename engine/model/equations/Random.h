// Jumping the program's linear congruential generator ahead: n steps of
// x -> a x + c (mod 2^32) compose into one affine map x -> A x + C, so any draw of a
// pass can be reached without making the draws before it.
#pragma once

#include <cstdint>

namespace glebix {

inline constexpr std::uint32_t RandomMultiplier = 134775813u;
inline constexpr std::uint32_t RandomIncrement = 1u;

// The generator state after one step from `state`.
constexpr std::uint32_t NextRandom(std::uint32_t state) { return state * RandomMultiplier + RandomIncrement; }

// The uniform number in [0, 1) that a generator state stands for: state / 2^32, exact.
constexpr double UniformOf(std::uint32_t state) { return state * (1.0 / 4294967296.0); }

// The affine map of a number of generator steps: state -> Multiplier * state + Increment.
struct RandomJump {
    std::uint32_t Multiplier = 1;  // a^n mod 2^32
    std::uint32_t Increment = 0;   // c (a^n - 1) / (a - 1) mod 2^32
};

// The map of one more step after `jump`.
constexpr RandomJump OneStepAfter(RandomJump jump) {
    return {jump.Multiplier * RandomMultiplier, NextRandom(jump.Increment)};
}

// The map of `steps` generator steps, by squaring: O(log steps). The generator's
// period is 2^32, so only the low 32 bits of `steps` matter.
constexpr RandomJump RandomJumpOf(std::uint64_t steps) {
    RandomJump total;                                     // identity
    RandomJump power{RandomMultiplier, RandomIncrement};  // one step, then 2, 4, ...
    for (std::uint64_t n = steps & 0xffffffffu; n != 0; n >>= 1) {
        if (n & 1u) {
            total.Increment = total.Increment * power.Multiplier + power.Increment;
            total.Multiplier = total.Multiplier * power.Multiplier;
        }
        power.Increment = power.Increment * power.Multiplier + power.Increment;
        power.Multiplier = power.Multiplier * power.Multiplier;
    }
    return total;
}

// The generator state after `steps` steps from `state`.
constexpr std::uint32_t AdvanceRandom(std::uint32_t state, std::uint64_t steps) {
    const RandomJump jump = RandomJumpOf(steps);
    return jump.Multiplier * state + jump.Increment;
}

}  // namespace glebix
