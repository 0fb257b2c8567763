#include "AbcStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

namespace glebix::calibration {

void Matrix::AppendRow(std::span<const double> row) {
    if (Rows == 0 && Values.empty()) Cols = row.size();
    Values.insert(Values.end(), row.begin(), row.end());
    ++Rows;
}

double WeightedQuantile(std::span<const double> values, std::span<const double> weights, double p) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (weights[i] > 0) order.push_back(i);
    if (order.empty()) return std::numeric_limits<double>::quiet_NaN();
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    double total = 0;
    for (std::size_t i : order) total += weights[i];
    double before = 0, lastPosition = 0, lastValue = values[order.front()];
    for (std::size_t k = 0; k < order.size(); ++k) {
        const double w = weights[order[k]], v = values[order[k]];
        const double position = (before + w / 2) / total;
        if (p <= position) {
            if (k == 0) return v;
            return lastValue + (v - lastValue) * (p - lastPosition) / (position - lastPosition);
        }
        before += w;
        lastPosition = position;
        lastValue = v;
    }
    return lastValue;
}

double WeightedMean(std::span<const double> values, std::span<const double> weights) {
    double sum = 0, total = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        sum += weights[i] * values[i];
        total += weights[i];
    }
    return sum / total;
}

Matrix WeightedCovariance(const Matrix &points, std::span<const double> weights) {
    const std::size_t d = points.Cols;
    std::vector<double> mean(d, 0.0);
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    for (std::size_t r = 0; r < points.Rows; ++r)
        for (std::size_t c = 0; c < d; ++c) mean[c] += weights[r] * points(r, c) / total;
    Matrix cov(d, d);
    for (std::size_t r = 0; r < points.Rows; ++r)
        for (std::size_t a = 0; a < d; ++a)
            for (std::size_t b = 0; b <= a; ++b)
                cov(a, b) += weights[r] * (points(r, a) - mean[a]) * (points(r, b) - mean[b]) / total;
    for (std::size_t a = 0; a < d; ++a)
        for (std::size_t b = 0; b < a; ++b) cov(b, a) = cov(a, b);
    return cov;
}

Cholesky::Cholesky(const Matrix &a) : Lower(a.Rows, a.Rows), Kept(a.Rows, false) {
    const std::size_t n = a.Rows;
    for (std::size_t k = 0; k < n; ++k) {
        double pivot = a(k, k);
        for (std::size_t j = 0; j < k; ++j) pivot -= Lower(k, j) * Lower(k, j);
        if (!(a(k, k) > 0) || !(pivot > CholeskyTolerance * a(k, k))) continue;
        Kept[k] = true;
        Lower(k, k) = std::sqrt(pivot);
        for (std::size_t i = k + 1; i < n; ++i) {
            double s = a(i, k);
            for (std::size_t j = 0; j < k; ++j) s -= Lower(i, j) * Lower(k, j);
            Lower(i, k) = s / Lower(k, k);
        }
    }
}

std::vector<double> Cholesky::Solve(std::span<const double> rhs) const {
    const std::size_t n = Lower.Rows;
    std::vector<double> y(n, 0.0), x(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        if (!Kept[k]) continue;
        double s = rhs[k];
        for (std::size_t j = 0; j < k; ++j) s -= Lower(k, j) * y[j];
        y[k] = s / Lower(k, k);
    }
    for (std::size_t k = n; k-- > 0;) {
        if (!Kept[k]) continue;
        double s = y[k];
        for (std::size_t i = k + 1; i < n; ++i) s -= Lower(i, k) * x[i];
        x[k] = s / Lower(k, k);
    }
    return x;
}

std::vector<double> Cholesky::Times(std::span<const double> z) const {
    const std::size_t n = Lower.Rows;
    std::vector<double> out(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j <= i; ++j) out[i] += Lower(i, j) * z[j];
    return out;
}

std::vector<double> Cholesky::Whiten(std::span<const double> x) const {
    const std::size_t n = Lower.Rows;
    std::vector<double> y(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        if (!Kept[k]) continue;
        double s = x[k];
        for (std::size_t j = 0; j < k; ++j) s -= Lower(k, j) * y[j];
        y[k] = s / Lower(k, k);
    }
    return y;
}

std::uint64_t Mix64(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

namespace {
constexpr int MantissaShift = 11;         // 64 - 53 bits
constexpr double MantissaUnit = 0x1p-53;  // 2^-53
constexpr int SeedShift = 32;
}  // namespace

double Stream::Uniform() { return static_cast<double>(engine_() >> MantissaShift) * MantissaUnit; }

double Stream::Normal() {
    const double u1 = 1.0 - Uniform();  // in (0, 1]: its logarithm is finite
    const double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

std::uint32_t Stream::Seed32() { return static_cast<std::uint32_t>(engine_() >> SeedShift); }

}  // namespace glebix::calibration
