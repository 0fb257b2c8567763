#include "Sampling.h"

#include <algorithm>
#include <array>
#include <boost/random/sobol.hpp>
#include <cmath>
#include <numeric>

#include "Draws.h"
#include "Messages.h"
#include "StudyTable.h"

namespace glebix::analysis {

namespace {

using core::Message;

constexpr std::array<std::string_view, 5> MethodNames = {"factorial", "lhs", "sobol", "saltelli", "morris"};

// The Sobol' sequence's points in (0, 1)^d, each dimension XORed with a shift drawn
// from the seed (a digital shift keeps the sequence's equidistribution).
class ShiftedSobol {
public:
    ShiftedSobol(std::size_t dimensions, std::uint32_t seed) : sobol_(dimensions), shifts_(dimensions) {
        Draws draws(MixSeed(seed, 0x50B01));
        for (auto &s : shifts_) s = draws.Bits();
    }
    // The sequence from its origin, which Boost leaves out: the first 2^m points make
    // a net, each of the 2^m slices of a coordinate holding one of them.
    void Next(std::vector<double> &point) {
        point.resize(shifts_.size());
        for (std::size_t d = 0; d < shifts_.size(); ++d) {
            const std::uint64_t bits = started_ ? sobol_() : 0;
            point[d] = (static_cast<double>((bits ^ shifts_[d]) >> 11) + 0.5) * 0x1p-53;
        }
        started_ = true;
    }

private:
    boost::random::sobol sobol_;
    std::vector<std::uint64_t> shifts_;
    bool started_ = false;
};

// Boost's table of direction numbers holds this many dimensions.
constexpr std::size_t MaxSobolDimensions = 3667;

UnitSample Factorial(int levels, std::size_t k, std::int64_t points) {
    UnitSample s{k, {}};
    s.Values.reserve(static_cast<std::size_t>(points) * k);
    std::vector<int> level(k, 0);
    for (std::int64_t p = 0; p < points; ++p) {
        for (std::size_t i = 0; i < k; ++i) s.Values.push_back(static_cast<double>(level[i]) / (levels - 1));
        for (std::size_t i = k; i-- > 0;) {
            if (++level[i] < levels) break;
            level[i] = 0;
        }
    }
    return s;
}

UnitSample LatinHypercube(int n, std::size_t k, std::uint32_t seed) {
    UnitSample s{k, std::vector<double>(static_cast<std::size_t>(n) * k)};
    Draws draws(MixSeed(seed, 0x1A5));
    std::vector<std::size_t> strata(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < k; ++i) {
        std::iota(strata.begin(), strata.end(), std::size_t{0});
        for (std::size_t m = strata.size(); m > 1; --m) std::swap(strata[m - 1], strata[draws.Below(m)]);
        for (std::size_t p = 0; p < strata.size(); ++p)
            s.Values[p * k + i] = (static_cast<double>(strata[p]) + draws.Uniform()) / n;
    }
    return s;
}

UnitSample SobolPoints(int n, std::size_t k, std::uint32_t seed) {
    UnitSample s{k, {}};
    ShiftedSobol sobol(k, seed);
    std::vector<double> point;
    for (int p = 0; p < n; ++p) {
        sobol.Next(point);
        s.Values.insert(s.Values.end(), point.begin(), point.end());
    }
    return s;
}

UnitSample SaltelliPoints(int n, std::size_t k, std::uint32_t seed) {
    UnitSample s{k, {}};
    s.Values.reserve(static_cast<std::size_t>(n) * (k + 2) * k);
    ShiftedSobol sobol(2 * k, seed);
    std::vector<double> point;
    for (int j = 0; j < n; ++j) {
        sobol.Next(point);
        const auto a = point.begin(), b = point.begin() + static_cast<std::ptrdiff_t>(k);
        s.Values.insert(s.Values.end(), a, b);
        for (std::size_t i = 0; i < k; ++i) {
            const std::size_t start = s.Values.size();
            s.Values.insert(s.Values.end(), a, b);
            s.Values[start + i] = b[static_cast<std::ptrdiff_t>(i)];
        }
        s.Values.insert(s.Values.end(), b, point.end());
    }
    return s;
}

// One trajectory in grid levels: a random start, then each factor in a random order
// moved by half the levels, up from the lower half of the grid, down from the upper.
std::vector<int> Trajectory(int levels, std::size_t k, Draws &draws) {
    std::vector<int> out((k + 1) * k);
    for (std::size_t i = 0; i < k; ++i) out[i] = static_cast<int>(draws.Below(static_cast<std::uint64_t>(levels)));
    std::vector<std::size_t> order(k);
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t m = k; m > 1; --m) std::swap(order[m - 1], order[draws.Below(m)]);
    const int step = levels / 2;
    for (std::size_t s = 0; s < k; ++s) {
        std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(s * k), k,
                    out.begin() + static_cast<std::ptrdiff_t>((s + 1) * k));
        int &level = out[(s + 1) * k + order[s]];
        level += level < step ? step : -step;
    }
    return out;
}

// Campolongo et al.'s distance between two trajectories: the sum, over each point of
// one and each point of the other, of their Euclidean distance.
double TrajectoryDistance(const std::vector<int> &a, const std::vector<int> &b, std::size_t k) {
    double sum = 0;
    for (std::size_t p = 0; p <= k; ++p)
        for (std::size_t q = 0; q <= k; ++q) {
            double squares = 0;
            for (std::size_t i = 0; i < k; ++i) {
                const double d = a[p * k + i] - b[q * k + i];
                squares += d * d;
            }
            sum += std::sqrt(squares);
        }
    return sum;
}

// Keeps `keep` trajectories of the pool: one at a time, the trajectory whose squared
// distances to the others sum least leaves, so that the spread of those left (the root
// of the sum of their squared distances) stays the largest a single removal allows.
std::vector<std::size_t> MostSpread(const std::vector<std::vector<int>> &pool, std::size_t keep, std::size_t k) {
    const std::size_t m = pool.size();
    std::vector<double> squared(m * m, 0.0), sums(m, 0.0);
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = a + 1; b < m; ++b) {
            const double d = TrajectoryDistance(pool[a], pool[b], k);
            squared[a * m + b] = squared[b * m + a] = d * d;
            sums[a] += d * d;
            sums[b] += d * d;
        }
    std::vector<bool> kept(m, true);
    for (std::size_t left = m; left > keep; --left) {
        std::size_t worst = m;
        for (std::size_t a = 0; a < m; ++a)
            if (kept[a] && (worst == m || sums[a] < sums[worst])) worst = a;
        kept[worst] = false;
        for (std::size_t a = 0; a < m; ++a) sums[a] -= squared[a * m + worst];
    }
    std::vector<std::size_t> chosen;
    for (std::size_t a = 0; a < m; ++a)
        if (kept[a]) chosen.push_back(a);
    return chosen;
}

UnitSample MorrisPoints(const SampleRequest &r, std::size_t k) {
    Draws draws(MixSeed(r.Seed, 0x30AA15));
    const int poolSize = std::max(r.Pool, r.Samples);
    std::vector<std::vector<int>> pool;
    for (int t = 0; t < poolSize; ++t) pool.push_back(Trajectory(r.Levels, k, draws));
    std::vector<std::size_t> chosen(static_cast<std::size_t>(r.Samples));
    std::iota(chosen.begin(), chosen.end(), std::size_t{0});
    if (poolSize > r.Samples) chosen = MostSpread(pool, static_cast<std::size_t>(r.Samples), k);
    UnitSample s{k, {}};
    for (std::size_t t : chosen)
        for (int level : pool[t]) s.Values.push_back(static_cast<double>(level) / (r.Levels - 1));
    return s;
}

std::int64_t PointCount(const SampleRequest &r, std::size_t k) {
    if (r.Kind == Method::Factorial) {
        double count = std::pow(static_cast<double>(r.Levels), static_cast<double>(k));
        return count > static_cast<double>(MaxSamplePoints) ? MaxSamplePoints + 1 : static_cast<std::int64_t>(count);
    }
    return static_cast<std::int64_t>(r.Samples) * static_cast<std::int64_t>(PointsPerUnit(r.Kind, k));
}

}  // namespace

std::string_view MethodName(Method method) { return MethodNames[static_cast<std::size_t>(method)]; }

std::optional<Method> MethodNamed(std::string_view name) {
    for (std::size_t m = 0; m < MethodNames.size(); ++m)
        if (MethodNames[m] == name) return static_cast<Method>(m);
    return std::nullopt;
}

std::size_t PointsPerUnit(Method method, std::size_t factors) {
    if (method == Method::Saltelli) return factors + 2;
    if (method == Method::Morris) return factors + 1;
    return 1;
}

std::variant<UnitSample, std::string> SampleUnit(const SampleRequest &r, std::size_t k) {
    const bool grid = r.Kind == Method::Factorial || r.Kind == Method::Morris;
    if (grid && r.Levels < MinLevels) return Message("sample.levels", {std::to_string(r.Levels)});
    if (r.Kind == Method::Morris && r.Levels % 2 != 0) return Message("sample.odd_levels", {std::to_string(r.Levels)});
    if (r.Kind != Method::Factorial && r.Samples < 1) return Message("sample.no_samples");
    if (r.Kind == Method::Morris && r.Pool != 0 && r.Pool < r.Samples)
        return Message("sample.pool", {std::to_string(r.Pool), std::to_string(r.Samples)});
    const std::size_t dimensions = r.Kind == Method::Saltelli ? 2 * k : k;
    if ((r.Kind == Method::Sobol || r.Kind == Method::Saltelli) && dimensions > MaxSobolDimensions)
        return Message("sample.sobol_dimensions", {std::to_string(MaxSobolDimensions)});
    const std::int64_t points = PointCount(r, k);
    if (points > MaxSamplePoints) return Message("sample.too_many", {std::to_string(MaxSamplePoints)});
    switch (r.Kind) {
    case Method::Factorial:
        return Factorial(r.Levels, k, points);
    case Method::Lhs:
        return LatinHypercube(r.Samples, k, r.Seed);
    case Method::Sobol:
        return SobolPoints(r.Samples, k, r.Seed);
    case Method::Saltelli:
        return SaltelliPoints(r.Samples, k, r.Seed);
    case Method::Morris:
        return MorrisPoints(r, k);
    }
    return UnitSample{};
}

std::string DesignText(const std::vector<Factor> &factors, const UnitSample &sample) {
    std::string out;
    for (std::size_t i = 0; i < factors.size(); ++i) out += (i ? "," : "") + core::CsvField(factors[i].Name);
    out += '\n';
    for (std::size_t p = 0; p < sample.PointCount(); ++p) {
        for (std::size_t i = 0; i < factors.size(); ++i) {
            if (i) out += ',';
            out += ValueText(factors[i], ValueAt(factors[i], sample.Values[p * sample.Factors + i]));
        }
        out += '\n';
    }
    return out;
}

SampledDesign SampleFactors(const std::vector<Factor> &factors, const SampleRequest &request) {
    SampledDesign out;
    auto sample = SampleUnit(request, factors.size());
    if (auto *problem = std::get_if<std::string>(&sample)) {
        out.Problems.push_back(*problem);
        return out;
    }
    const UnitSample &unit = std::get<UnitSample>(sample);
    out.Text = DesignText(factors, unit);
    out.Values.resize(unit.Values.size());
    for (std::size_t v = 0; v < unit.Values.size(); ++v)
        out.Values[v] = ValueAt(factors[v % unit.Factors], unit.Values[v]);
    return out;
}

SampledDesign SampleDesign(std::string_view factorsText, std::string_view source, const SampleRequest &request) {
    ParsedFactors factors = ParseFactorsText(factorsText, source);
    if (!factors.Problems.empty()) {
        SampledDesign out;
        out.Problems = std::move(factors.Problems);
        return out;
    }
    return SampleFactors(factors.Factors, request);
}

}  // namespace glebix::analysis
