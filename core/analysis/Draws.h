// The random draws of the samplers and of the bootstrap: the standard's mt19937_64,
// whose sequence every implementation gives alike, turned into reals and bounded whole
// numbers by rules of this file alone (the standard's distributions differ between
// libraries), so that a seed gives the same sample and the same intervals everywhere.
#pragma once

#include <cstdint>
#include <random>

namespace glebix::analysis {

class Draws {
public:
    explicit Draws(std::uint64_t seed) : engine_(seed) {}
    // A real in (0, 1): the top 53 bits of a draw, and half a unit.
    double Uniform() { return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1p-53; }
    // A whole number in [0, n), n > 0, every one equally likely (Lemire 2019, with
    // the rejection that removes the bias).
    std::uint64_t Below(std::uint64_t n);
    std::uint64_t Bits() { return engine_(); }

private:
    std::mt19937_64 engine_;
};

// A seed of its own for each (a, b) from one seed: splitmix64 of the three, so that
// the streams of neighbouring (a, b) are unrelated.
std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t a, std::uint64_t b = 0);

}  // namespace glebix::analysis
