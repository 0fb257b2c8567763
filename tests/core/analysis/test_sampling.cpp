#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "DesignFile.h"
#include "Sampling.h"

using namespace glebix::analysis;

namespace {

UnitSample Sample(Method method, int n, std::size_t k, std::uint32_t seed = 1, int levels = 4, int pool = 0) {
    auto s = SampleUnit({method, n, seed, levels, pool}, k);
    EXPECT_TRUE(std::holds_alternative<UnitSample>(s)) << std::get<std::string>(s);
    return std::get<UnitSample>(s);
}

double At(const UnitSample &s, std::size_t p, std::size_t i) { return s.Values[p * s.Factors + i]; }

}  // namespace

TEST(Sampling, EveryMethodIsReproducibleFromItsSeed) {
    for (Method m : {Method::Lhs, Method::Sobol, Method::Saltelli, Method::Morris}) {
        SCOPED_TRACE(std::string(MethodName(m)));
        EXPECT_EQ(Sample(m, 20, 3, 7).Values, Sample(m, 20, 3, 7).Values);
        EXPECT_NE(Sample(m, 20, 3, 7).Values, Sample(m, 20, 3, 8).Values);
        for (double u : Sample(m, 20, 3, 7).Values) {
            EXPECT_GE(u, 0);
            EXPECT_LE(u, 1);
        }
    }
}

TEST(Sampling, FactorialCoversTheGridLastFactorFastest) {
    const UnitSample s = Sample(Method::Factorial, 0, 2, 1, 3);
    ASSERT_EQ(s.PointCount(), 9u);
    EXPECT_EQ(At(s, 0, 0), 0);
    EXPECT_EQ(At(s, 1, 1), 0.5);
    EXPECT_EQ(At(s, 2, 1), 1);
    EXPECT_EQ(At(s, 3, 0), 0.5);
    EXPECT_EQ(At(s, 3, 1), 0);
}

// Each factor's range cut into N strata holds exactly one point in each.
TEST(Sampling, LatinHypercubeHasOnePointPerStratum) {
    const int n = 50;
    const UnitSample s = Sample(Method::Lhs, n, 4, 11);
    for (std::size_t i = 0; i < 4; ++i) {
        std::set<int> strata;
        for (std::size_t p = 0; p < s.PointCount(); ++p) strata.insert(static_cast<int>(At(s, p, i) * n));
        EXPECT_EQ(strata.size(), static_cast<std::size_t>(n));
    }
}

// Base row j gives A_j, AB_1j ... AB_kj, B_j, and A, B are the two halves of one
// 2k-dimensional Sobol' point: the points of 8 = 2^3 rows fill each eighth of every
// coordinate once.
TEST(Sampling, SaltelliRowsFollowTheDocumentedOrder) {
    const std::size_t k = 3;
    const UnitSample s = Sample(Method::Saltelli, 8, k, 5);
    ASSERT_EQ(s.PointCount(), 8 * (k + 2));
    for (std::size_t j = 0; j < 8; ++j) {
        const std::size_t a = j * (k + 2), b = a + k + 1;
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t c = 0; c < k; ++c) EXPECT_EQ(At(s, a + 1 + i, c), At(s, c == i ? b : a, c));
    }
    for (std::size_t c = 0; c < k; ++c) {
        std::set<int> eighthsA, eighthsB;
        for (std::size_t j = 0; j < 8; ++j) {
            eighthsA.insert(static_cast<int>(At(s, j * (k + 2), c) * 8));
            eighthsB.insert(static_cast<int>(At(s, j * (k + 2) + k + 1, c) * 8));
        }
        EXPECT_EQ(eighthsA.size(), 8u);
        EXPECT_EQ(eighthsB.size(), 8u);
    }
}

// Consecutive points of a trajectory differ in one factor by P / (2 (P - 1)), each
// factor once, on the grid; a pool gives trajectories at least as spread as N drawn.
TEST(Sampling, MorrisTrajectoriesStepOneFactorOnTheGrid) {
    const std::size_t k = 4;
    const int levels = 6;
    for (int pool : {0, 30}) {
        const UnitSample s = Sample(Method::Morris, 10, k, 3, levels, pool);
        ASSERT_EQ(s.PointCount(), 10 * (k + 1));
        for (std::size_t t = 0; t < 10; ++t) {
            std::set<std::size_t> moved;
            for (std::size_t step = 1; step <= k; ++step) {
                const std::size_t p = t * (k + 1) + step;
                for (std::size_t i = 0; i < k; ++i) {
                    const double d = At(s, p, i) - At(s, p - 1, i);
                    if (d == 0) continue;
                    EXPECT_NEAR(std::fabs(d), levels / (2.0 * (levels - 1)), 1e-12);
                    EXPECT_TRUE(moved.insert(i).second);
                }
                for (std::size_t i = 0; i < k; ++i) {
                    const double level = At(s, p, i) * (levels - 1);
                    EXPECT_NEAR(level, std::round(level), 1e-9);
                }
            }
            EXPECT_EQ(moved.size(), k);
        }
    }
}

TEST(Sampling, RefusesRequestsItCannotMeet) {
    EXPECT_TRUE(std::holds_alternative<std::string>(SampleUnit({Method::Morris, 10, 1, 5, 0}, 3)));
    EXPECT_TRUE(std::holds_alternative<std::string>(SampleUnit({Method::Morris, 10, 1, 4, 5}, 3)));
    EXPECT_TRUE(std::holds_alternative<std::string>(SampleUnit({Method::Lhs, 0, 1, 4, 0}, 3)));
    EXPECT_TRUE(std::holds_alternative<std::string>(SampleUnit({Method::Factorial, 0, 1, 10, 0}, 9)));
    EXPECT_TRUE(std::holds_alternative<std::string>(SampleUnit({Method::Saltelli, 10, 1, 4, 0}, 2000)));
}

// The design the sampler writes is one that --design reads, whole factors rounded.
TEST(Sampling, DesignFileReadsBackWithWholeValues) {
    const ParsedFactors factors = ParseFactorsText(
        "name,low,high,scale\nSurvival,0.2,0.6,linear\nDistMean,1,9,linear\nDispersalSigma,0.5,8,log\n", "f.csv");
    ASSERT_TRUE(factors.Problems.empty());
    const std::string text = DesignText(factors.Factors, Sample(Method::Lhs, 30, 3, 2));
    const glebix::core::ParsedDesign design = glebix::core::ParseDesignText(text, "design.csv");
    ASSERT_TRUE(design.Problems.empty()) << design.Problems.front();
    ASSERT_EQ(design.Result.PointCount(), 30u);
    EXPECT_EQ(design.Result.Columns, (std::vector<std::string>{"Survival", "DistMean", "DispersalSigma"}));
    for (int p = 1; p <= 30; ++p) EXPECT_EQ(design.Result.Value(p, 1).find('.'), std::string_view::npos);
}

namespace {

// The spread of a Morris sample's trajectories as Campolongo et al. measure it: the
// root of the sum over pairs of the squared sums of their points' distances.
double Spread(const UnitSample &s, std::size_t k) {
    const std::size_t trajectories = s.PointCount() / (k + 1);
    double squares = 0;
    for (std::size_t a = 0; a < trajectories; ++a)
        for (std::size_t b = a + 1; b < trajectories; ++b) {
            double d = 0;
            for (std::size_t p = 0; p <= k; ++p)
                for (std::size_t q = 0; q <= k; ++q) {
                    double e = 0;
                    for (std::size_t i = 0; i < k; ++i) {
                        const double x = At(s, a * (k + 1) + p, i) - At(s, b * (k + 1) + q, i);
                        e += x * x;
                    }
                    d += std::sqrt(e);
                }
            squares += d * d;
        }
    return std::sqrt(squares);
}

}  // namespace

// The pool's first N trajectories are those drawn without a pool: the N chosen from
// it are spread at least as widely.
TEST(Sampling, MorrisPoolSpreadsTheTrajectories) {
    const std::size_t k = 3;
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const double drawn = Spread(Sample(Method::Morris, 8, k, seed, 4, 0), k);
        const double chosen = Spread(Sample(Method::Morris, 8, k, seed, 4, 40), k);
        EXPECT_GT(chosen, drawn) << seed;
    }
}
