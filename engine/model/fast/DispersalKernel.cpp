// Offsets of four individuals at a time, in double precision, with GCC vector types
// (AVX2 where the processor has it, SSE2 otherwise; the results are the same). The
// build is chosen at the first call, not by an ifunc, which sanitizers do not support.
//
// Exact offsets are nearest(cos(theta) R S / CellSize) with theta = 2 pi U1 and
// R = sqrt(-2 ln max(U2, 0.001)), computed with the C library's functions. Here
// cos/sin come from Taylor polynomials on a quarter-turn reduction of U1 (error
// below 1e-11) and ln from the atanh series on a mantissa in [sqrt(1/2), sqrt(2))
// (relative error below 1e-10), so x = cos(theta) R scale is within 1e-9 |R scale|
// of the exact value. Whenever x or y lies within OffsetTolerance |R scale| of a
// half-integer the individual is marked for exact recomputation; otherwise both
// round to the same integer.
#include "DispersalKernel.h"

#include <cstring>

namespace glebix {
namespace {

typedef double V4d __attribute__((vector_size(32)));
typedef std::uint64_t V4u __attribute__((vector_size(32)));
typedef std::int64_t V4l __attribute__((vector_size(32)));
typedef std::uint32_t V4u32 __attribute__((vector_size(16)));
typedef std::int32_t V4i32 __attribute__((vector_size(16)));

// A hundred times the error bound of the approximation, relative to |R scale|.
constexpr double OffsetTolerance = 1e-7;

inline __attribute__((always_inline)) V4d Splat(double v) { return V4d{v, v, v, v}; }

inline __attribute__((always_inline)) V4u32 Load4(const std::uint32_t *p) {
    V4u32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Generator states to uniform numbers in [0, 1), exactly as RandomUniform does.
inline __attribute__((always_inline)) V4d Uniform(V4u32 states) {
    const V4u wide = __builtin_convertvector(states, V4u);
    const V4d shifted = reinterpret_cast<V4d>(wide | 0x4330000000000000ull) - Splat(0x1p52);
    return shifted * Splat(0x1p-32);
}

// Nearest integer (halves to even) of |v| < 2^51, as a double.
inline __attribute__((always_inline)) V4d RoundNearest(V4d v) { return (v + Splat(0x1.8p52)) - Splat(0x1.8p52); }

// The kernel, inlined into one build per instruction set.
inline __attribute__((always_inline)) void OffsetsOfBlock(const std::uint32_t *states1, const std::uint32_t *states2,
                                                          int count, double scale, std::int32_t *di, std::int32_t *dj) {
    for (int k = 0; k < count; k += 4) {
        const V4d u1 = Uniform(Load4(states1 + k));
        const V4d u2raw = Uniform(Load4(states2 + k));

        // theta = (q + f) pi/2 with q the nearest integer of 4 U1 and |f| <= 1/2.
        const V4d quarters = u1 * Splat(4.0);
        const V4d biased = quarters + Splat(0x1.8p52);
        const V4u q = reinterpret_cast<V4u>(biased);  // low bits hold q
        const V4d f = quarters - (biased - Splat(0x1.8p52));
        const V4d phi = f * Splat(1.57079632679489661923);
        const V4d p2 = phi * phi;
        const V4d sinPhi =
            phi * (Splat(1.0) +
                   p2 * (Splat(-1.0 / 6) +
                         p2 * (Splat(1.0 / 120) +
                               p2 * (Splat(-1.0 / 5040) + p2 * (Splat(1.0 / 362880) + p2 * Splat(-1.0 / 39916800))))));
        const V4d cosPhi =
            Splat(1.0) +
            p2 * (Splat(-0.5) +
                  p2 * (Splat(1.0 / 24) +
                        p2 * (Splat(-1.0 / 720) +
                              p2 * (Splat(1.0 / 40320) + p2 * (Splat(-1.0 / 3628800) + p2 * Splat(1.0 / 479001600))))));
        // Quarter q: (cos, sin) of theta is (c, s), (-s, c), (-c, -s) or (s, -c).
        const V4l odd = (q & 1u) != 0;
        const V4d c0 = odd ? sinPhi : cosPhi;
        const V4d s0 = odd ? cosPhi : sinPhi;
        const V4d cosTheta = reinterpret_cast<V4d>(reinterpret_cast<V4u>(c0) ^ (((q + 1u) & 2u) << 62));
        const V4d sinTheta = reinterpret_cast<V4d>(reinterpret_cast<V4u>(s0) ^ ((q & 2u) << 62));

        // ln U2 = e ln 2 + ln m with m in [sqrt(1/2), sqrt(2)), ln m = 2 atanh z.
        const V4d u2 = u2raw < Splat(0.001) ? Splat(0.001) : u2raw;
        const V4u bits = reinterpret_cast<V4u>(u2) + (0x3ff0000000000000ull - 0x3fe6a09e667f3bcdull);
        const V4d e = reinterpret_cast<V4d>((bits >> 52) | 0x4330000000000000ull) - Splat(0x1p52 + 1023.0);
        const V4d m = reinterpret_cast<V4d>((bits & 0x000fffffffffffffull) + 0x3fe6a09e667f3bcdull);
        const V4d z = (m - Splat(1.0)) / (m + Splat(1.0));
        const V4d w = z * z;
        const V4d lnM =
            Splat(2.0) * z *
            (Splat(1.0) +
             w * (Splat(1.0 / 3) +
                  w * (Splat(1.0 / 5) + w * (Splat(1.0 / 7) + w * (Splat(1.0 / 9) + w * Splat(1.0 / 11))))));
        const V4d ln = e * Splat(0.693147180559945309417) + lnM;
        const V4d twiceMinusLn = Splat(-2.0) * ln;
        const V4d radius = {__builtin_sqrt(twiceMinusLn[0]), __builtin_sqrt(twiceMinusLn[1]),
                            __builtin_sqrt(twiceMinusLn[2]), __builtin_sqrt(twiceMinusLn[3])};

        const V4d reach = radius * Splat(scale);
        const V4d x = cosTheta * reach;
        const V4d y = sinTheta * reach;
        const V4d rx = RoundNearest(x);
        const V4d ry = RoundNearest(y);
        const V4d margin = Splat(0.5) - Splat(OffsetTolerance) * (reach < Splat(0.0) ? -reach : reach);
        const V4d fx = x - rx;
        const V4d fy = y - ry;
        const V4l nearX = (fx < Splat(0.0) ? -fx : fx) >= margin;
        const V4l nearY = (fy < Splat(0.0) ? -fy : fy) >= margin;
        const V4i32 unsure = __builtin_convertvector(nearX | nearY, V4i32);
        const V4i32 ix = __builtin_convertvector(rx, V4i32);
        const V4i32 iy = __builtin_convertvector(ry, V4i32);
        const V4i32 recompute = {OffsetToRecompute, OffsetToRecompute, OffsetToRecompute, OffsetToRecompute};
        const V4i32 outX = unsure ? recompute : ix;
        std::memcpy(di + k, &outX, sizeof outX);
        std::memcpy(dj + k, &iy, sizeof iy);
    }
}

__attribute__((target("avx2"))) void OffsetsAvx2(const std::uint32_t *states1, const std::uint32_t *states2, int count,
                                                 double scale, std::int32_t *di, std::int32_t *dj) {
    OffsetsOfBlock(states1, states2, count, scale, di, dj);
}

typedef std::uint32_t V8u32 __attribute__((vector_size(32)));

inline __attribute__((always_inline)) V8u32 Load8(const std::uint32_t *p) {
    V8u32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Eight states at a time: one multiplication and one addition per state.
inline __attribute__((always_inline)) void StatesOfBlock(std::uint32_t state, int count, std::uint32_t *states1,
                                                         std::uint32_t *states2) {
    for (int k = 0; k < count; k += 8) {
        const V8u32 s1 = Load8(&BlockDraws.Mul1[k]) * state + Load8(&BlockDraws.Inc1[k]);
        const V8u32 s2 = Load8(&BlockDraws.Mul2[k]) * state + Load8(&BlockDraws.Inc2[k]);
        std::memcpy(states1 + k, &s1, sizeof s1);
        std::memcpy(states2 + k, &s2, sizeof s2);
    }
}

void StatesSse2(std::uint32_t state, int count, std::uint32_t *states1, std::uint32_t *states2) {
    StatesOfBlock(state, count, states1, states2);
}

__attribute__((target("avx2"))) void StatesAvx2(std::uint32_t state, int count, std::uint32_t *states1,
                                                std::uint32_t *states2) {
    StatesOfBlock(state, count, states1, states2);
}

using StatesFunction = void (*)(std::uint32_t, int, std::uint32_t *, std::uint32_t *);

using OffsetsFunction = void (*)(const std::uint32_t *, const std::uint32_t *, int, double, std::int32_t *,
                                 std::int32_t *);

OffsetsFunction ChooseOffsets() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? &OffsetsAvx2 : &ApproximateOffsetsSse2;
}

StatesFunction ChooseStates() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? &StatesAvx2 : &StatesSse2;
}

}  // namespace

void BlockStates(std::uint32_t state, int count, std::uint32_t *states1, std::uint32_t *states2) {
    static const StatesFunction best = ChooseStates();
    best(state, count, states1, states2);
}

void ApproximateOffsetsSse2(const std::uint32_t *states1, const std::uint32_t *states2, int count, double scale,
                            std::int32_t *di, std::int32_t *dj) {
    OffsetsOfBlock(states1, states2, count, scale, di, dj);
}

void ApproximateOffsets(const std::uint32_t *states1, const std::uint32_t *states2, int count, double scale,
                        std::int32_t *di, std::int32_t *dj) {
    static const OffsetsFunction best = ChooseOffsets();
    best(states1, states2, count, scale, di, dj);
}

}  // namespace glebix
