#include "Estimators.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

#include "Draws.h"

namespace glebix::analysis {

namespace {

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double LowerQuantile = 0.025;
constexpr double UpperQuantile = 0.975;

double Quantile(const std::vector<double> &sorted, double q) {
    const double at = q * static_cast<double>(sorted.size() - 1);
    const std::size_t below = static_cast<std::size_t>(std::floor(at));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (at - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

// Counts of each of n units in one resample of n draws.
void ResampleCounts(Draws &draws, std::vector<double> &counts) {
    std::fill(counts.begin(), counts.end(), 0.0);
    const std::uint64_t n = counts.size();
    for (std::uint64_t d = 0; d < n; ++d) counts[draws.Below(n)] += 1;
}

// --- Saltelli and Jansen ----------------------------------------------------------

struct SaltelliTerms {
    std::size_t k;
    std::vector<double> first, total;  // per row and factor: f(B)(f(AB)-f(A)), (f(A)-f(AB))^2/2
    std::vector<double> sum, squares;  // per row: f(A)+f(B), f(A)^2+f(B)^2
};

SaltelliTerms TermsOf(const std::vector<double> &a, const std::vector<double> &b, const std::vector<double> &ab,
                      std::size_t k) {
    SaltelliTerms t{k, std::vector<double>(ab.size()), std::vector<double>(ab.size()), {}, {}};
    for (std::size_t j = 0; j < a.size(); ++j) {
        t.sum.push_back(a[j] + b[j]);
        t.squares.push_back(a[j] * a[j] + b[j] * b[j]);
        for (std::size_t i = 0; i < k; ++i) {
            const double d = ab[j * k + i] - a[j];
            t.first[j * k + i] = b[j] * d;
            t.total[j * k + i] = d * d / 2;
        }
    }
    return t;
}

// S1 and ST of the rows `rows` (a resample, or every row), into first[i], total[i].
template <typename Rows>
void SaltelliOf(const SaltelliTerms &t, std::size_t n, Rows rows, std::vector<double> &first,
                std::vector<double> &total) {
    const std::size_t k = t.k;
    std::fill(first.begin(), first.end(), 0.0);
    std::fill(total.begin(), total.end(), 0.0);
    double sum = 0, squares = 0;
    for (std::size_t r = 0; r < n; ++r) {
        const std::size_t j = rows(r);
        sum += t.sum[j];
        squares += t.squares[j];
        const double *f = &t.first[j * k], *s = &t.total[j * k];
        for (std::size_t i = 0; i < k; ++i) {
            first[i] += f[i];
            total[i] += s[i];
        }
    }
    const double count = 2.0 * static_cast<double>(n);
    const double mean = sum / count;
    const double variance = (squares - count * mean * mean) / (count - 1);
    for (std::size_t i = 0; i < k; ++i) {
        first[i] = first[i] / static_cast<double>(n) / variance;
        total[i] = total[i] / static_cast<double>(n) / variance;
    }
}

// --- Linear algebra of the regressions ---------------------------------------------

// The inverse of the m x m matrix `a` (row-major) by Gauss-Jordan elimination with
// partial pivoting; false when it is singular.
bool Invert(std::vector<double> a, std::size_t m, std::vector<double> &inverse) {
    inverse.assign(m * m, 0.0);
    for (std::size_t i = 0; i < m; ++i) inverse[i * m + i] = 1;
    for (std::size_t c = 0; c < m; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < m; ++r)
            if (std::fabs(a[r * m + c]) > std::fabs(a[pivot * m + c])) pivot = r;
        if (!(std::fabs(a[pivot * m + c]) > 1e-12)) return false;
        for (std::size_t j = 0; j < m; ++j) {
            std::swap(a[c * m + j], a[pivot * m + j]);
            std::swap(inverse[c * m + j], inverse[pivot * m + j]);
        }
        const double d = a[c * m + c];
        for (std::size_t j = 0; j < m; ++j) {
            a[c * m + j] /= d;
            inverse[c * m + j] /= d;
        }
        for (std::size_t r = 0; r < m; ++r) {
            if (r == c || a[r * m + c] == 0) continue;
            const double f = a[r * m + c];
            for (std::size_t j = 0; j < m; ++j) {
                a[r * m + j] -= f * a[c * m + j];
                inverse[r * m + j] -= f * inverse[c * m + j];
            }
        }
    }
    return true;
}

// The weighted sums of one pass over the points: of the weights, of each value and of
// each product of two values, each value less its centre so that no precision is lost.
// M > 0 fixes the number of values, so that the sums stay in registers.
template <std::size_t M>
void WeightedSums(const std::vector<double> &v, std::size_t m, const std::vector<double> &centre,
                  const std::vector<double> &weights, double &total, std::vector<double> &sums,
                  std::vector<double> &products) {
    constexpr std::size_t Fixed = M == 0 ? 1 : M;
    std::array<double, Fixed> s{}, d{};
    std::array<double, Fixed * Fixed> q{};
    const std::size_t n = weights.size();
    if constexpr (M > 0) {
        // No test of a zero weight: its branch would be mispredicted a third of the time.
        for (std::size_t p = 0; p < n; ++p) {
            const double w = weights[p];
            total += w;
            for (std::size_t a = 0; a < M; ++a) {
                d[a] = v[p * M + a] - centre[a];
                s[a] += w * d[a];
            }
            for (std::size_t a = 0; a < M; ++a)
                for (std::size_t b = a; b < M; ++b) q[a * M + b] += w * d[a] * d[b];
        }
        for (std::size_t a = 0; a < M; ++a) sums[a] = s[a];
        for (std::size_t a = 0; a < M * M; ++a) products[a] = q[a];
        return;
    }
    std::vector<double> e(m);
    for (std::size_t p = 0; p < n; ++p) {
        const double w = weights[p];
        total += w;
        for (std::size_t a = 0; a < m; ++a) {
            e[a] = v[p * m + a] - centre[a];
            sums[a] += w * e[a];
        }
        for (std::size_t a = 0; a < m; ++a)
            for (std::size_t b = a; b < m; ++b) products[a * m + b] += w * e[a] * e[b];
    }
}

// The weighted correlation matrix of the m values of each point (point p's value a
// at p * m + a).
std::vector<double> Correlations(const std::vector<double> &v, std::size_t m, const std::vector<double> &centre,
                                 const std::vector<double> &weights) {
    std::vector<double> sums(m, 0.0), products(m * m, 0.0);
    double total = 0;
    switch (m) {
    case 2:
        WeightedSums<2>(v, m, centre, weights, total, sums, products);
        break;
    case 3:
        WeightedSums<3>(v, m, centre, weights, total, sums, products);
        break;
    case 4:
        WeightedSums<4>(v, m, centre, weights, total, sums, products);
        break;
    case 5:
        WeightedSums<5>(v, m, centre, weights, total, sums, products);
        break;
    case 6:
        WeightedSums<6>(v, m, centre, weights, total, sums, products);
        break;
    default:
        WeightedSums<0>(v, m, centre, weights, total, sums, products);
    }
    std::vector<double> c(m * m, 1.0);
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = a; b < m; ++b) products[a * m + b] -= sums[a] * sums[b] / total;
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = a + 1; b < m; ++b)
            c[a * m + b] = c[b * m + a] = products[a * m + b] / std::sqrt(products[a * m + a] * products[b * m + b]);
    return c;
}

// PRCC from the correlations of the ranks, SRC from those of the values; the last
// column is y.
void RegressionOf(const std::vector<double> &rankCorrelations, const std::vector<double> &valueCorrelations,
                  std::size_t k, std::vector<double> &prcc, std::vector<double> &src) {
    const std::size_t m = k + 1;
    std::vector<double> inverse;
    const bool ranked = Invert(rankCorrelations, m, inverse);
    for (std::size_t i = 0; i < k; ++i)
        prcc[i] = ranked ? -inverse[i * m + k] / std::sqrt(inverse[i * m + i] * inverse[k * m + k]) : NotANumber;
    std::vector<double> xx(k * k);
    for (std::size_t a = 0; a < k; ++a)
        for (std::size_t b = 0; b < k; ++b) xx[a * k + b] = valueCorrelations[a * m + b];
    const bool solved = Invert(xx, k, inverse);
    for (std::size_t i = 0; i < k; ++i) {
        double s = 0;
        for (std::size_t b = 0; b < k; ++b) s += inverse[i * k + b] * valueCorrelations[b * m + k];
        src[i] = solved ? s : NotANumber;
    }
}

// Mid-ranks of a resample given as counts, from each column's order in the whole
// sample: a run of equal values shares the mean of the ranks its copies take. Values
// and ranks are point-major (point p's column c at p * m + c).
class Ranker {
public:
    Ranker(const std::vector<double> &v, std::size_t n, std::size_t m) : n_(n), m_(m), order_(n * m), runEnd_(n * m) {
        for (std::size_t c = 0; c < m; ++c) {
            std::uint32_t *order = &order_[c * n];
            std::iota(order, order + n, std::uint32_t{0});
            std::stable_sort(order, order + n,
                             [&](std::uint32_t p, std::uint32_t q) { return v[p * m + c] < v[q * m + c]; });
            // Where the run of equal values holding each sorted place ends.
            for (std::size_t s = n; s-- > 0;)
                runEnd_[c * n + s] = s + 1 < n && v[order[s] * m + c] == v[order[s + 1] * m + c]
                                         ? runEnd_[c * n + s + 1]
                                         : static_cast<std::uint32_t>(s + 1);
            tied_.push_back(false);
            for (std::size_t s = 0; s < n; ++s) tied_.back() = tied_.back() || runEnd_[c * n + s] != s + 1;
        }
    }
    void Rank(const std::vector<double> &counts, std::vector<double> &ranks) const {
        ranks.resize(n_ * m_);
        for (std::size_t c = 0; c < m_; ++c) {
            const std::uint32_t *order = &order_[c * n_], *runEnd = &runEnd_[c * n_];
            double before = 0;
            if (!tied_[c]) {
                for (std::size_t s = 0; s < n_; ++s) {
                    const double copies = counts[order[s]];
                    ranks[order[s] * m_ + c] = before + (copies + 1) / 2;
                    before += copies;
                }
                continue;
            }
            for (std::size_t s = 0; s < n_;) {
                const std::size_t e = runEnd[s];
                double copies = 0;
                for (std::size_t q = s; q < e; ++q) copies += counts[order[q]];
                const double rank = before + (copies + 1) / 2;
                for (std::size_t q = s; q < e; ++q) ranks[order[q] * m_ + c] = rank;
                before += copies;
                s = e;
            }
        }
    }

private:
    std::size_t n_, m_;
    std::vector<std::uint32_t> order_, runEnd_;
    std::vector<bool> tied_;  // whether a column has equal values
};

}  // namespace

Estimate WithInterval(double value, std::vector<double> &values) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    if (values.empty() || std::isnan(value)) return {value, NotANumber, NotANumber};
    std::sort(values.begin(), values.end());
    return {value, Quantile(values, LowerQuantile), Quantile(values, UpperQuantile)};
}

SaltelliResult SaltelliIndices(const std::vector<double> &a, const std::vector<double> &b,
                               const std::vector<double> &ab, std::size_t k, int resamples, std::uint64_t seed) {
    const SaltelliTerms terms = TermsOf(a, b, ab, k);
    const std::size_t n = a.size();
    std::vector<double> first(k), total(k);
    SaltelliOf(
        terms, n, [](std::size_t r) { return r; }, first, total);
    std::vector<std::vector<double>> firsts(k), totals(k);
    Draws draws(seed);
    std::vector<std::size_t> rows(n);
    std::vector<double> f(k), t(k);
    for (int r = 0; r < resamples; ++r) {
        for (auto &row : rows) row = draws.Below(n);
        SaltelliOf(
            terms, n, [&rows](std::size_t q) { return rows[q]; }, f, t);
        for (std::size_t i = 0; i < k; ++i) {
            firsts[i].push_back(f[i]);
            totals[i].push_back(t[i]);
        }
    }
    SaltelliResult out;
    for (std::size_t i = 0; i < k; ++i) {
        out.First.push_back(WithInterval(first[i], firsts[i]));
        out.Total.push_back(WithInterval(total[i], totals[i]));
    }
    return out;
}

namespace {

// mu, mu_star and sigma of factor i's effects, each trajectory t weighted by counts[t].
void MorrisOf(const std::vector<double> &effects, std::size_t k, std::size_t i, const std::vector<double> &counts,
              double &mu, double &muStar, double &sigma) {
    double n = 0, sum = 0, sumAbs = 0;
    const std::size_t trajectories = counts.size();
    for (std::size_t t = 0; t < trajectories; ++t) {
        const double e = effects[t * k + i];
        if (std::isnan(e) || counts[t] == 0) continue;
        n += counts[t];
        sum += counts[t] * e;
        sumAbs += counts[t] * std::fabs(e);
    }
    mu = n > 0 ? sum / n : NotANumber;
    muStar = n > 0 ? sumAbs / n : NotANumber;
    double squares = 0;
    for (std::size_t t = 0; t < trajectories; ++t) {
        const double e = effects[t * k + i];
        if (!std::isnan(e) && counts[t] != 0) squares += counts[t] * (e - mu) * (e - mu);
    }
    sigma = n > 1 ? std::sqrt(squares / (n - 1)) : NotANumber;
}

}  // namespace

MorrisResult MorrisIndices(const std::vector<double> &effects, std::size_t k, int resamples, std::uint64_t seed) {
    const std::size_t trajectories = k == 0 ? 0 : effects.size() / k;
    std::vector<double> ones(trajectories, 1.0), counts(trajectories);
    std::vector<double> mu(k), muStar(k), sigma(k);
    for (std::size_t i = 0; i < k; ++i) MorrisOf(effects, k, i, ones, mu[i], muStar[i], sigma[i]);
    std::vector<std::vector<double>> mus(k), stars(k), sigmas(k);
    Draws draws(seed);
    for (int r = 0; r < resamples; ++r) {
        ResampleCounts(draws, counts);
        for (std::size_t i = 0; i < k; ++i) {
            double m = 0, s = 0, d = 0;
            MorrisOf(effects, k, i, counts, m, s, d);
            mus[i].push_back(m);
            stars[i].push_back(s);
            sigmas[i].push_back(d);
        }
    }
    MorrisResult out;
    for (std::size_t i = 0; i < k; ++i) {
        out.Mu.push_back(WithInterval(mu[i], mus[i]));
        out.MuStar.push_back(WithInterval(muStar[i], stars[i]));
        out.Sigma.push_back(WithInterval(sigma[i], sigmas[i]));
    }
    return out;
}

RegressionResult RegressionIndices(const std::vector<double> &x, const std::vector<double> &y, std::size_t k,
                                   int resamples, std::uint64_t seed) {
    const std::size_t n = y.size(), m = k + 1;
    std::vector<double> values(n * m), centre(m, 0.0);
    for (std::size_t p = 0; p < n; ++p) {
        for (std::size_t i = 0; i < k; ++i) values[p * m + i] = x[p * k + i];
        values[p * m + k] = y[p];
        for (std::size_t a = 0; a < m; ++a) centre[a] += values[p * m + a] / static_cast<double>(n);
    }
    const std::vector<double> rankCentre(m, (static_cast<double>(n) + 1) / 2);
    const Ranker ranker(values, n, m);
    std::vector<double> counts(n, 1.0), ranks, prcc(k), src(k);
    ranker.Rank(counts, ranks);
    RegressionOf(Correlations(ranks, m, rankCentre, counts), Correlations(values, m, centre, counts), k, prcc, src);
    std::vector<std::vector<double>> prccs(k), srcs(k);
    Draws draws(seed);
    std::vector<double> p(k), s(k);
    for (int r = 0; r < resamples; ++r) {
        ResampleCounts(draws, counts);
        ranker.Rank(counts, ranks);
        RegressionOf(Correlations(ranks, m, rankCentre, counts), Correlations(values, m, centre, counts), k, p, s);
        for (std::size_t i = 0; i < k; ++i) {
            prccs[i].push_back(p[i]);
            srcs[i].push_back(s[i]);
        }
    }
    RegressionResult out;
    for (std::size_t i = 0; i < k; ++i) {
        out.Prcc.push_back(WithInterval(prcc[i], prccs[i]));
        out.Src.push_back(WithInterval(src[i], srcs[i]));
    }
    return out;
}

namespace {

double NoiseShareOf(const std::vector<double> &n, const std::vector<double> &means, const std::vector<double> &squares,
                    const std::vector<double> &weights) {
    double within = 0, count = 0, sum = 0;
    for (std::size_t p = 0; p < n.size(); ++p) {
        within += weights[p] * squares[p];
        count += weights[p] * n[p];
        sum += weights[p] * n[p] * means[p];
    }
    const double mean = sum / count;
    double between = 0;
    for (std::size_t p = 0; p < n.size(); ++p) between += weights[p] * n[p] * (means[p] - mean) * (means[p] - mean);
    return within + between > 0 ? within / (within + between) : NotANumber;
}

}  // namespace

Estimate NoiseShare(const std::vector<double> &counts, const std::vector<double> &means,
                    const std::vector<double> &squares, int resamples, std::uint64_t seed) {
    std::vector<double> weights(counts.size(), 1.0);
    const double value = NoiseShareOf(counts, means, squares, weights);
    std::vector<double> values;
    Draws draws(seed);
    for (int r = 0; r < resamples; ++r) {
        ResampleCounts(draws, weights);
        values.push_back(NoiseShareOf(counts, means, squares, weights));
    }
    return WithInterval(value, values);
}

}  // namespace glebix::analysis
