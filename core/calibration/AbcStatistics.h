// The small numerical tools of the estimators: a row-major matrix, weighted means,
// covariances and quantiles, a Cholesky factor that leaves out degenerate directions,
// and the draws of the calibration's own random stream.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace glebix::calibration {

struct Matrix {
    std::size_t Rows = 0;
    std::size_t Cols = 0;
    std::vector<double> Values;  // row after row

    Matrix() = default;
    Matrix(std::size_t rows, std::size_t cols) : Rows(rows), Cols(cols), Values(rows * cols, 0.0) {}
    double &operator()(std::size_t r, std::size_t c) { return Values[r * Cols + c]; }
    double operator()(std::size_t r, std::size_t c) const { return Values[r * Cols + c]; }
    std::span<const double> Row(std::size_t r) const { return {Values.data() + r * Cols, Cols}; }
    std::span<double> Row(std::size_t r) { return {Values.data() + r * Cols, Cols}; }
    void AppendRow(std::span<const double> row);
};

// The weighted quantile of level p in [0, 1]. Each value with a positive weight stands
// at the middle of its share of the cumulative weight, (W_before + w / 2) / W, values
// sorted (equal values by their order in the list); between two such positions the
// quantile is linear, before the first it is the smallest value, after the last the
// largest. With equal weights this is Hazen's definition (R's quantile type 5).
// Requires at least one positive weight.
double WeightedQuantile(std::span<const double> values, std::span<const double> weights, double p);
double WeightedMean(std::span<const double> values, std::span<const double> weights);

// The weighted covariance (divided by the sum of the weights) of the rows of `points`.
Matrix WeightedCovariance(const Matrix &points, std::span<const double> weights);

// The lower Cholesky factor of a symmetric positive semi-definite matrix. A direction
// whose remaining pivot is at most CholeskyTolerance of its diagonal term (a column that
// is constant, or a combination of earlier ones) is left out: its row and column of the
// factor are zero, and Solve gives it a zero coefficient, as if it were not there.
inline constexpr double CholeskyTolerance = 1e-10;
struct Cholesky {
    Matrix Lower;
    std::vector<bool> Kept;

    explicit Cholesky(const Matrix &symmetric);
    std::vector<double> Solve(std::span<const double> rhs) const;
    // Lower * z.
    std::vector<double> Times(std::span<const double> z) const;
    // L^-1 x over the kept directions (0 in the others): a linear map, under which the
    // squared Mahalanobis length of a difference is the plain squared length.
    std::vector<double> Whiten(std::span<const double> x) const;
};

// splitmix64's finaliser: a bijection of 64-bit words whose outputs for neighbouring
// inputs are uncorrelated.
std::uint64_t Mix64(std::uint64_t x);

// The calibration's random stream: std::mt19937_64, whose sequence the C++ standard
// fixes, turned into numbers by the formulas below (not by the standard library's
// distributions, whose algorithms differ between libraries), so a seed gives the same
// calibration everywhere.
class Stream {
public:
    explicit Stream(std::uint64_t seed) : engine_(seed) {}
    // Uniform in [0, 1): the top 53 bits of one word.
    double Uniform();
    // Standard normal by Box and Muller, from two uniforms (one value per pair).
    double Normal();
    // The high 32 bits of one word: a run's seed.
    std::uint32_t Seed32();

private:
    std::mt19937_64 engine_;
};

}  // namespace glebix::calibration
