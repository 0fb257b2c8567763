// Samples of the factors' space, deterministic from a seed, written as a design file
// that --design reads. Each method gives its points in a fixed order, which the
// analysis (Indices.h) relies on:
//   factorial  P levels per factor (0, 1/(P-1), ..., 1 of each range), P^k points,
//              the last factor varying fastest;
//   lhs        N points, a Latin hypercube: each factor's range cut into N equal
//              strata, each stratum holding one point (McKay, Beckman and Conover 1979);
//   sobol      N points of the Sobol' sequence (Boost.Random, Joe and Kuo's direction
//              numbers) from its origin, digitally shifted by the seed (each
//              coordinate's bits XORed with a word drawn from it);
//   saltelli   N base rows j, each giving k + 2 points in the order A_j, AB_1j, ...,
//              AB_kj, B_j: A and B are the first and last k coordinates of one
//              2k-dimensional Sobol' sequence, AB_ij is A_j with factor i taken from
//              B_j (Saltelli et al. 2010); N (k + 2) points;
//   morris     N trajectories of k + 1 points each on a grid of P levels, consecutive
//              points differing in one factor by the step P / (2 (P - 1)) of the unit
//              range (Morris 1991); with a pool M > N, the N trajectories of M that are
//              the most spread out (Campolongo, Cariboni and Saltelli 2007).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Factors.h"

namespace glebix::analysis {

enum class Method { Factorial, Lhs, Sobol, Saltelli, Morris };

// "factorial", "lhs", "sobol", "saltelli", "morris"; and back.
std::string_view MethodName(Method method);
std::optional<Method> MethodNamed(std::string_view name);

struct SampleRequest {
    Method Kind = Method::Lhs;
    int Samples = 0;  // N: points, base rows or trajectories (not used by factorial)
    std::uint32_t Seed = 0;
    int Levels = 4;  // P of factorial and morris
    int Pool = 0;    // morris: trajectories to choose the N from; 0: no choice
};

// Largest design a sample may make.
inline constexpr std::int64_t MaxSamplePoints = 100000000;
// Fewest levels of a grid.
inline constexpr int MinLevels = 2;

// Points in the unit hypercube, row by row (point p's factor i at p * k + i).
struct UnitSample {
    std::size_t Factors = 0;
    std::vector<double> Values;
    std::size_t PointCount() const { return Factors == 0 ? 0 : Values.size() / Factors; }
};

// The points of `request` for `factors` factors, or the problem (in the user's
// language) when the request cannot be met (too many points, too few levels, an
// odd number of Morris levels, a pool smaller than N).
std::variant<UnitSample, std::string> SampleUnit(const SampleRequest &request, std::size_t factors);

// The design file: the factors' names, then one line per point of the values at the
// sample's coordinates (ValueAt, ValueText).
std::string DesignText(const std::vector<Factor> &factors, const UnitSample &sample);

// The design file of `request` for the factors file `factorsText` read from `source`;
// or the problems (of the file, naming its lines, or of the request), and no text.
// Beside the text, its values as numbers (point p's factor i at p * k + i), the same
// doubles the text reads back to, for the front ends that hand the design over as a
// table.
struct SampledDesign {
    std::string Text;
    std::vector<double> Values;
    std::vector<std::string> Problems;
};
SampledDesign SampleDesign(std::string_view factorsText, std::string_view source, const SampleRequest &request);

// The design of `request` for factors already read (FactorsFromRows, ParseFactorsText).
SampledDesign SampleFactors(const std::vector<Factor> &factors, const SampleRequest &request);

// Points per base row (Saltelli) or per trajectory (Morris); 1 for the other methods.
std::size_t PointsPerUnit(Method method, std::size_t factors);

}  // namespace glebix::analysis
