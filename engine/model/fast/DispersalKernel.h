// The vectorised part of the fast dispersal pass: the offsets of a block of
// individuals of one cell, computed with polynomial approximations whose error is
// bounded, so that every offset either equals the exact one or is marked for exact
// recomputation.
#pragma once

#include <array>
#include <cstdint>

#include "Random.h"

namespace glebix {

// Individuals handled together; their draws come from one jump table.
inline constexpr int OffsetBlock = 256;

// Offset value meaning "too close to a rounding boundary: recompute exactly".
inline constexpr std::int32_t OffsetToRecompute = INT32_MIN;

// Largest |displacement / CellSize| the approximate kernel handles; beyond it the
// pass computes every individual exactly (and can meet the overflow faults there).
inline constexpr double ApproximateReachLimit = 1048576.0;

// Upper bound of the Box-Muller radius: sqrt(-2 ln 0.001) = 3.71692218884984...,
// rounded up with room for the rounding of the exact expression.
inline constexpr double RadiusBound = 3.7169221888498383 * (1 + 1e-9);

// Generator states of the draws of a block: individual k of a block that starts
// after state x draws U1 from state Mul1[k] x + Inc1[k] and U2 from Mul2[k] x + Inc2[k].
struct OffsetBlockDraws {
    std::array<std::uint32_t, OffsetBlock> Mul1;  // a^(2k+1)
    std::array<std::uint32_t, OffsetBlock> Inc1;  // increment of 2k+1 steps
    std::array<std::uint32_t, OffsetBlock> Mul2;  // a^(2k+2)
    std::array<std::uint32_t, OffsetBlock> Inc2;  // increment of 2k+2 steps
};

constexpr OffsetBlockDraws MakeOffsetBlockDraws() {
    OffsetBlockDraws t{};
    RandomJump step;  // identity, then one more generator step at a time
    for (int k = 0; k < OffsetBlock; ++k) {
        step = OneStepAfter(step);
        t.Mul1[k] = step.Multiplier;
        t.Inc1[k] = step.Increment;
        step = OneStepAfter(step);
        t.Mul2[k] = step.Multiplier;
        t.Inc2[k] = step.Increment;
    }
    return t;
}

inline constexpr OffsetBlockDraws BlockDraws = MakeOffsetBlockDraws();

// Generator states of the two draws of `count` (<= OffsetBlock) consecutive
// individuals whose draws start after generator state `state`. The arrays need room
// for OffsetBlock entries (the last group of eight is computed whole).
void BlockStates(std::uint32_t state, int count, std::uint32_t *states1, std::uint32_t *states2);

// Offsets di, dj of `count` individuals (at most OffsetBlock) from the generator
// states of their draws U1 (`states1`) and U2 (`states2`), for the displacement
// scale `scale` = S / CellSize with |scale| * RadiusBound < ApproximateReachLimit.
// Entries that could differ from the exact offsets hold OffsetToRecompute in di.
// All arrays need room for OffsetBlock entries (the last group of four is computed
// whole).
void ApproximateOffsets(const std::uint32_t *states1, const std::uint32_t *states2, int count, double scale,
                        std::int32_t *di, std::int32_t *dj);
// The same with SSE2 only. ApproximateOffsets uses AVX2 where the processor has it;
// both give the same offsets, which the tests check.
void ApproximateOffsetsSse2(const std::uint32_t *states1, const std::uint32_t *states2, int count, double scale,
                            std::int32_t *di, std::int32_t *dj);

}  // namespace glebix
