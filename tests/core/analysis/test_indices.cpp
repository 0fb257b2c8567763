#include <gtest/gtest.h>

#include <charconv>
#include <ctime>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

#include "Conversions.h"
#include "Indices.h"
#include "RunMetrics.h"

using namespace glebix::analysis;

namespace {

using Model = std::function<double(const std::vector<double> &)>;

std::vector<Factor> Factors(const std::string &text) {
    ParsedFactors parsed = ParseFactorsText(text, "f.csv");
    EXPECT_TRUE(parsed.Problems.empty());
    return parsed.Factors;
}

// The table a study of the design would give: the design's own texts in the factors'
// columns, the model's value of those texts as the metric `y`.
std::string Table(const std::vector<Factor> &factors, Method method, int n, std::uint32_t seed, const Model &model,
                  int levels = 4) {
    const UnitSample s = std::get<UnitSample>(SampleUnit({method, n, seed, levels, 0}, factors.size()));
    std::string out = "point";
    for (const Factor &f : factors) out += "," + f.Name;
    out += ",y\n";
    std::vector<double> x(factors.size());
    for (std::size_t p = 0; p < s.PointCount(); ++p) {
        out += std::to_string(p + 1);
        for (std::size_t i = 0; i < factors.size(); ++i) {
            const std::string text = ValueText(factors[i], ValueAt(factors[i], s.Values[p * factors.size() + i]));
            x[i] = *glebix::ParseRealToken(text);
            out += "," + text;
        }
        out += "," + glebix::FormatShortest(model(x)) + "\n";
    }
    return out;
}

struct Row {
    double estimate, low, high;
};

// The indices file by "step,factor,index".
std::map<std::string, Row> Rows(const AnalysisOutcome &outcome) {
    EXPECT_TRUE(outcome.Problems.empty()) << (outcome.Problems.empty() ? "" : outcome.Problems.front());
    std::map<std::string, Row> rows;
    std::size_t at = outcome.Csv.find('\n') + 1;
    while (at < outcome.Csv.size()) {
        const std::size_t end = outcome.Csv.find('\n', at);
        std::vector<std::string> f;
        std::string line = outcome.Csv.substr(at, end - at);
        for (std::size_t c = 0; c != std::string::npos;) {
            const std::size_t comma = line.find(',', c);
            f.push_back(line.substr(c, comma == std::string::npos ? std::string::npos : comma - c));
            c = comma == std::string::npos ? comma : comma + 1;
        }
        const auto num = [](const std::string &s) { return s == "NA" ? NAN : *glebix::ParseRealToken(s); };
        rows[f[1] + "," + f[2] + "," + f[3]] = {num(f[4]), num(f[5]), num(f[6])};
        at = end + 1;
    }
    return rows;
}

AnalysisRequest Request(Method method, const std::vector<Factor> &factors, int resamples = 200) {
    AnalysisRequest r;
    r.Kind = method;
    r.Factors = factors;
    r.Metrics = {"y"};
    r.Resamples = resamples;
    r.Seed = 42;
    return r;
}

}  // namespace

// Ishigami, a = 7, b = 0.1: S1 = (0.314, 0.442, 0), ST = (0.558, 0.442, 0.244).
TEST(SensitivityIndices, SaltelliGivesIshigamisIndices) {
    constexpr double a = 7, b = 0.1, pi = std::numbers::pi;
    const double v1 = 0.5 * std::pow(1 + b * std::pow(pi, 4) / 5, 2), v2 = a * a / 8;
    const double v13 = 8 * b * b * std::pow(pi, 8) / 225, v = v1 + v2 + v13;
    const double first[] = {v1 / v, v2 / v, 0}, total[] = {(v1 + v13) / v, v2 / v, v13 / v};
    const auto factors = Factors(
        "name,low,high\nx1,-3.141592653589793,3.141592653589793\n"
        "x2,-3.141592653589793,3.141592653589793\nx3,-3.141592653589793,3.141592653589793\n");
    const std::string table = Table(factors, Method::Saltelli, 4096, 2024, [&](const std::vector<double> &x) {
        return std::sin(x[0]) + a * std::pow(std::sin(x[1]), 2) + b * std::pow(x[2], 4) * std::sin(x[0]);
    });
    auto rows = Rows(AnalyseTable(table, "t.csv", Request(Method::Saltelli, factors, 1000)));
    for (int i = 0; i < 3; ++i) {
        const std::string name = "x" + std::to_string(i + 1);
        const Row s1 = rows.at("," + name + ",S1"), st = rows.at("," + name + ",ST");
        EXPECT_NEAR(s1.estimate, first[i], 0.03) << name;
        EXPECT_NEAR(st.estimate, total[i], 0.03) << name;
        EXPECT_LE(s1.low, first[i]) << name;
        EXPECT_GE(s1.high, first[i]) << name;
        EXPECT_LE(st.low, total[i]) << name;
        EXPECT_GE(st.high, total[i]) << name;
    }
}

// On a linear model every elementary effect of a factor is its coefficient times its
// range (on its scale): mu_star is |c| times the range, sigma 0.
TEST(SensitivityIndices, MorrisOnALinearModel) {
    const auto factors = Factors("name,low,high,scale\na,0,2,linear\nb,-1,3,linear\nc,1,1000,log\nd,5,6,linear\n");
    const double c[] = {3, -0.5, 2, 0};
    const std::string table = Table(factors, Method::Morris, 30, 9, [&](const std::vector<double> &x) {
        return c[0] * x[0] + c[1] * x[1] + c[2] * std::log(x[2]) + c[3] * x[3];
    });
    auto rows = Rows(AnalyseTable(table, "t.csv", Request(Method::Morris, factors)));
    const double ranges[] = {2, 4, std::log(1000.0), 1};
    const char *names[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(rows.at(std::string(",") + names[i] + ",mu_star").estimate, std::fabs(c[i]) * ranges[i], 1e-9);
        EXPECT_NEAR(rows.at(std::string(",") + names[i] + ",mu").estimate, c[i] * ranges[i], 1e-9);
        EXPECT_NEAR(rows.at(std::string(",") + names[i] + ",sigma").estimate, 0, 1e-9);
        EXPECT_NEAR(rows.at(std::string(",") + names[i] + ",sigma").high, 0, 1e-9);
    }
}

// y = 2 a - b exactly, c a dummy: SRC_i = c_i sd(x_i) / sd(y) of the sample itself,
// and a's and b's have the same size since sd(b) = 2 sd(a); PRCC near 1 and -1 for a
// and b, its interval holding 0 for c.
TEST(SensitivityIndices, RegressionIndicesOfALinearModel) {
    const auto factors = Factors("name,low,high\na,0,1\nb,0,2\nc,0,1\n");
    for (Method method : {Method::Lhs, Method::Sobol}) {
        const std::string table =
            Table(factors, method, 500, 3, [](const std::vector<double> &x) { return 2 * x[0] - x[1]; });
        auto rows = Rows(AnalyseTable(table, "t.csv", Request(method, factors)));
        EXPECT_NEAR(rows.at(",a,SRC").estimate / rows.at(",b,SRC").estimate, -1, 1e-3);
        EXPECT_GT(rows.at(",a,SRC").estimate, 0.6);
        EXPECT_NEAR(rows.at(",c,SRC").estimate, 0, 1e-9);
        EXPECT_GT(rows.at(",a,PRCC").estimate, 0.95);
        EXPECT_LT(rows.at(",b,PRCC").estimate, -0.95);
        EXPECT_LE(rows.at(",c,PRCC").low, 0);
        EXPECT_GE(rows.at(",c,PRCC").high, 0);
    }
}

// With one factor PRCC is Spearman's correlation (mid-ranks for ties), SRC Pearson's.
TEST(SensitivityIndices, OneFactorGivesSpearmanAndPearson) {
    const std::string table = "point,x,y\n1,1,2\n2,2,1\n3,3,4\n4,4,4\n5,5,3\n";
    const auto factors = Factors("name,low,high\nx,1,5\n");
    auto rows = Rows(AnalyseTable(table, "t.csv", Request(Method::Lhs, factors, 0)));
    // Ranks of y: 2, 1, 4.5, 4.5, 3; Spearman = Pearson of the ranks.
    EXPECT_NEAR(rows.at(",x,PRCC").estimate, 5.5 / std::sqrt(10 * 9.5), 1e-12);
    EXPECT_NEAR(rows.at(",x,SRC").estimate, 5 / std::sqrt(10 * 6.8), 1e-12);
}

TEST(SensitivityIndices, SameSeedSameBytesAndTheIntervalsMoveWithIt) {
    const auto factors = Factors("name,low,high\na,0,1\nb,0,1\n");
    const std::string table =
        Table(factors, Method::Saltelli, 64, 1, [](const std::vector<double> &x) { return x[0] + x[1] * x[1]; });
    AnalysisRequest r = Request(Method::Saltelli, factors);
    const std::string once = AnalyseTable(table, "t.csv", r).Csv;
    EXPECT_EQ(once, AnalyseTable(table, "t.csv", r).Csv);
    EXPECT_EQ(once.substr(0, once.find('\n') + 1), "metric,step,factor,index,estimate,low,high\n");
    r.Seed = 43;
    EXPECT_NE(once, AnalyseTable(table, "t.csv", r).Csv);
}

// The analysis relies on the sampler's order: a table whose points are out of that
// order, or not whole groups of it, is refused naming where.
TEST(SensitivityIndices, RefusesTablesThatBreakTheMethodsOrder) {
    const auto factors = Factors("name,low,high\na,0,1\nb,0,1\n");
    const Model model = [](const std::vector<double> &x) { return x[0] + x[1]; };
    std::string table = Table(factors, Method::Saltelli, 4, 1, model);
    // Lines 2 and 3 (points 1 and 2: A_1 and AB_11) swapped, each keeping its number.
    const std::size_t l2 = table.find('\n') + 1, l3 = table.find('\n', l2) + 1, l4 = table.find('\n', l3) + 1;
    std::string second = table.substr(l2, l3 - l2), third = table.substr(l3, l4 - l3);
    std::swap(second[0], third[0]);
    const std::string swapped = table.substr(0, l2) + third + second + table.substr(l4);
    AnalysisOutcome out = AnalyseTable(swapped, "t.csv", Request(Method::Saltelli, factors));
    ASSERT_EQ(out.Problems.size(), 1u);
    EXPECT_EQ(out.Problems[0].rfind("t.csv:", 0), 0u);
    EXPECT_NE(out.Problems[0].find("saltelli order"), std::string::npos);
    EXPECT_TRUE(out.Csv.empty());
    // Morris on a Saltelli table: 16 points are not groups of 3.
    out = AnalyseTable(table, "t.csv", Request(Method::Morris, factors));
    ASSERT_EQ(out.Problems.size(), 1u);
    EXPECT_NE(out.Problems[0].find("16 points"), std::string::npos);
    // A metric that is text, and a missing metric column.
    out = AnalyseTable("point,a,b,y\n1,0.5,0.5,abc\n", "t.csv", Request(Method::Lhs, factors));
    ASSERT_EQ(out.Problems.size(), 1u);
    EXPECT_EQ(out.Problems[0], "t.csv:2: column y: \"abc\" is not a number (a missing value is written empty or NA)");
    out = AnalyseTable("point,a,b,z\n1,0.5,0.5,1\n", "t.csv", Request(Method::Lhs, factors));
    ASSERT_EQ(out.Problems.size(), 1u);
    EXPECT_EQ(out.Problems[0], "t.csv:1: column of metric y missing");
}

// Failed runs drop the units they break, within the share allowed.
TEST(SensitivityIndices, FailedRunsDropTheirUnits) {
    const auto factors = Factors("name,low,high\na,0,1\nb,0,1\n");
    const std::string table =
        Table(factors, Method::Saltelli, 40, 1, [](const std::vector<double> &x) { return x[0] + 2 * x[1]; });
    // Point 6 (A of base row 2) failed: its metric is missing.
    std::size_t at = 0;
    for (int line = 0; line < 6; ++line) at = table.find('\n', at) + 1;
    const std::size_t end = table.find('\n', at);
    const std::string failed = table.substr(0, table.rfind(',', end) + 1) + "NA" + table.substr(end);
    AnalysisRequest r = Request(Method::Saltelli, factors);
    r.MaxDropped = 0.05;
    AnalysisOutcome out = AnalyseTable(failed, "t.csv", r);
    ASSERT_TRUE(out.Problems.empty());
    ASSERT_EQ(out.Notes.size(), 1u);
    EXPECT_NE(out.Notes[0].find("1 groups of points of 40"), std::string::npos);
    r.MaxDropped = 0.01;
    out = AnalyseTable(failed, "t.csv", r);
    ASSERT_EQ(out.Problems.size(), 1u);
    EXPECT_TRUE(out.Csv.empty());
}

// Replicates are averaged by point and give the noise share; steps are chosen.
TEST(SensitivityIndices, ReplicatesAndSteps) {
    const auto factors = Factors("name,low,high\na,0,1\n");
    std::string table = "point,replicate,step,status,a,y\n";
    for (int p = 1; p <= 20; ++p)
        for (int r = 1; r <= 2; ++r)
            for (int step = 0; step <= 1; ++step) {
                // At step 0 a faint effect under a loud noise; at step 1 the effect alone
                // but for a small noise.
                const double a = (p - 0.5) / 20, loud = (p * 7 % 5) * (r == 1 ? 1.0 : -0.5);
                const double y = step == 0 ? 0.001 * a + loud : a + (r == 1 ? 0.01 : -0.01);
                table += std::to_string(p) + "," + std::to_string(r) + "," + std::to_string(step) + ",ok," +
                         glebix::FormatShortest(a) + "," + glebix::FormatShortest(y) + "\n";
            }
    AnalysisRequest r = Request(Method::Lhs, factors);
    auto rows = Rows(AnalyseTable(table, "t.csv", r));
    EXPECT_NEAR(rows.at("1,a,SRC").estimate, 1, 1e-9);
    EXPECT_LT(rows.at("1,,noise_share").estimate, 0.01);
    r.EveryStep = true;
    rows = Rows(AnalyseTable(table, "t.csv", r));
    EXPECT_GT(rows.at("0,,noise_share").estimate, LargeNoiseShare);
    EXPECT_EQ(rows.count("1,a,PRCC"), 1u);
    const AnalysisOutcome noisy = AnalyseTable(table, "t.csv", r);
    EXPECT_EQ(noisy.Warnings.size(), 1u);
    r.EveryStep = false;
    r.AtStep = 7;
    EXPECT_EQ(AnalyseTable(table, "t.csv", r).Problems.at(0), "t.csv: no row at step 7");
}

// 100 000 points with B = 1000 in well under 10 s on one core: the processor time is
// measured, which other work on a shared machine does not lengthen.
TEST(SensitivityIndices, LargeTablesAreQuick) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "timing has no meaning under the sanitizers";
#endif
    const auto factors = Factors("name,low,high\na,0,1\nb,0,1\nc,0,1\n");
    const Model model = [](const std::vector<double> &x) { return x[0] + 2 * x[1] * x[2]; };
    for (Method method : {Method::Saltelli, Method::Lhs}) {
        const int n = method == Method::Saltelli ? 20000 : 100000;
        const std::string table = Table(factors, method, n, 1, model);
        const std::clock_t start = std::clock();
        const AnalysisOutcome out = AnalyseTable(table, "t.csv", Request(method, factors, 1000));
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        EXPECT_TRUE(out.Problems.empty());
        EXPECT_LT(seconds, 10) << MethodName(method);
        std::printf("%s, 100000 points, B = 1000: %.2f s\n", std::string(MethodName(method)).c_str(), seconds);
    }
}

// A run's metrics over its steps, from a study table, analysed as any metric.
TEST(RunMetrics, ComputedFromEachRunsStepsAndAnalysed) {
    std::string table = "point,replicate,seed,a,step,total_density,mean_compacted\n";
    for (int p = 1; p <= 30; ++p)
        for (int r = 1; r <= 2; ++r)
            for (int step = 0; step <= 3; ++step) {
                // Runs of odd points die at step 2; the others grow with a.
                const int total = p % 2 == 1 && step >= 2 ? 0 : p * 10 + step;
                table += std::to_string(p) + "," + std::to_string(r) + ",7," + std::to_string(p) + "," +
                         std::to_string(step) + "," + std::to_string(total) + "," + std::to_string(step * 10) + "\n";
            }
    const RunMetricsTable runs =
        RunMetricsOf(table, "t.csv", {"a"},
                     {"final_total", "extinct", "extinction_step", "final_compacted", "time_mean_total_density"});
    ASSERT_TRUE(runs.Problems.empty());
    EXPECT_EQ(runs.Text.substr(0, runs.Text.find('\n', runs.Text.find('\n') + 1) + 1),
              "point,replicate,a,final_total,extinct,extinction_step,final_compacted,time_mean_total_density\n"
              "1,1,1,0,1,2,30,5.25\n");
    EXPECT_NE(runs.Text.find("\n2,2,2,23,0,4,30,21.5\n"), std::string::npos);
    const auto factors = Factors("name,low,high\na,1,30\n");
    AnalysisRequest r = Request(Method::Lhs, factors, 20);
    r.Metrics = {"extinct", "time_mean_total_density"};
    const AnalysisOutcome out = AnalyseTable(table, "t.csv", r);
    ASSERT_TRUE(out.Problems.empty()) << out.Problems.front();
    EXPECT_NE(out.Csv.find("\nextinct,,a,PRCC,"), std::string::npos);
    EXPECT_NE(out.Csv.find("\ntime_mean_total_density,,a,SRC,"), std::string::npos);
    // Replicates that agree: no noise.
    EXPECT_NE(out.Csv.find("\nextinct,,,noise_share,0,"), std::string::npos);
}
