#include <gtest/gtest.h>

#include <cstdlib>

#include "Factors.h"

using namespace glebix::analysis;

namespace {

// The messages are compared in English; numbers are still read under the French
// locale that ctest sets.
class EnglishMessages : public ::testing::Environment {
public:
    void SetUp() override { ::setenv("LANGUAGE", "en", 1); }
};
const ::testing::Environment *const English = ::testing::AddGlobalTestEnvironment(new EnglishMessages);

std::string OneProblem(const std::string &text) {
    const ParsedFactors parsed = ParseFactorsText(text, "f.csv");
    EXPECT_TRUE(parsed.Factors.empty());
    EXPECT_EQ(parsed.Problems.size(), 1u) << text;
    return parsed.Problems.empty() ? "" : parsed.Problems.front();
}

}  // namespace

TEST(FactorsFile, ReadsSettingsAndOtherNamesWithTheirScales) {
    const ParsedFactors parsed = ParseFactorsText(
        "\xEF\xBB\xBF# factors\r\nname,low,high,scale\r\nSurvival,0.2,0.6,\r\nDispersalSigma,0.5,8,log\n"
        "DistMean,1,20,linear\n\"rain, mm\",0,100,linear\n",
        "f.csv");
    ASSERT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
    ASSERT_EQ(parsed.Factors.size(), 4u);
    EXPECT_EQ(parsed.Factors[0].Name, "Survival");
    EXPECT_NE(parsed.Factors[0].Setting, nullptr);
    EXPECT_FALSE(parsed.Factors[0].Whole);
    EXPECT_EQ(parsed.Factors[1].Scale, FactorScale::Log);
    EXPECT_TRUE(parsed.Factors[2].Whole);
    EXPECT_EQ(parsed.Factors[3].Name, "rain, mm");
    EXPECT_EQ(parsed.Factors[3].Setting, nullptr);
    // The columns may come in any order; scale may be left out.
    const ParsedFactors reordered = ParseFactorsText("high,name,low\n3,x,1\n", "g.csv");
    ASSERT_EQ(reordered.Factors.size(), 1u);
    EXPECT_EQ(reordered.Factors[0].Low, 1);
    EXPECT_EQ(reordered.Factors[0].High, 3);
}

// Each problem names the file, the line and the column, and refuses the whole file.
TEST(FactorsFile, RefusesBadInputNamingLineAndColumn) {
    EXPECT_EQ(OneProblem("name,low,high\nx,2,1\n"), "f.csv:2: column high: high (1) must be greater than low (2)");
    EXPECT_EQ(OneProblem("name,low,high\nx,1,1\n"), "f.csv:2: column high: high (1) must be greater than low (1)");
    EXPECT_EQ(OneProblem("name,low,high,scale\nx,1,2,ln\n"),
              "f.csv:2: column scale: \"ln\" is not a scale: linear or log");
    EXPECT_EQ(OneProblem("name,low,high,scale\n\nx,0,2,log\n"),
              "f.csv:3: column low: a log scale needs low > 0, not 0");
    EXPECT_EQ(OneProblem("name,low,high\nx,0,2\nx,1,2\n"), "f.csv:3: column name: factor x appears twice");
    EXPECT_EQ(OneProblem("name,low,high\nx,0,2,5\n"), "f.csv:2: 4 fields instead of 3 (one per column of the header)");
    EXPECT_EQ(OneProblem("name,low,high\nx,0.5,inf\n"),
              "f.csv:2: column high: \"inf\" is not a finite decimal number (with a point, as in 0.4)");
    EXPECT_EQ(OneProblem("name,low,high\nx,\"0,5\",2\n"),
              "f.csv:2: column low: \"0,5\" is not a finite decimal number (with a point, as in 0.4)");
    EXPECT_EQ(OneProblem("name,low\nx,1\n"),
              "f.csv:1: column high missing (expected: name, low, high and, optionally, scale)");
    EXPECT_EQ(OneProblem("name,low,high\n"), "f.csv: no factor (a line name,low,high after the header)");
    EXPECT_EQ(OneProblem("name,low,high\nEnvFilePath,0,1\n"),
              "f.csv:2: column name: setting EnvFilePath takes no number (a path or a word): it cannot be a factor");
}

// A setting's bounds are checked as --set checks a value.
TEST(FactorsFile, ChecksSettingsAsSetDoes) {
    EXPECT_EQ(OneProblem("name,low,high\nResponseShape,0,5\n"),
              "f.csv:2: column high: setting ResponseShape: \"5\" is not a mode number from 0 to 2");
    EXPECT_EQ(OneProblem("name,low,high\nDistMean,1.5,4\n"),
              "f.csv:2: column low: setting DistMean: \"1.5\" is not a whole number from -2147483648 to 2147483647");
    EXPECT_EQ(OneProblem("name,low,high\nPlotWidth,1,5000\n"),
              "f.csv:2: column high: setting PlotWidth: \"5000\" is not a whole number from 1 to 4096");
}

TEST(FactorsFile, ValuesFollowTheScaleAndWholeFactorsRound) {
    Factor linear{"x", 2, 4};
    EXPECT_EQ(ValueAt(linear, 0), 2);
    EXPECT_EQ(ValueAt(linear, 0.5), 3);
    EXPECT_EQ(ValueAt(linear, 1), 4);
    Factor log{"y", 1, 100, FactorScale::Log};
    EXPECT_NEAR(ValueAt(log, 0.5), 10, 1e-12);
    EXPECT_EQ(ValueAt(log, 1), 100);
    Factor whole{"n", 1, 3};
    whole.Whole = true;
    // Each of 1, 2, 3 takes a third of [0, 1].
    EXPECT_EQ(ValueAt(whole, 0.0), 1);
    EXPECT_EQ(ValueAt(whole, 0.32), 1);
    EXPECT_EQ(ValueAt(whole, 0.34), 2);
    EXPECT_EQ(ValueAt(whole, 0.66), 2);
    EXPECT_EQ(ValueAt(whole, 0.67), 3);
    EXPECT_EQ(ValueAt(whole, 1.0), 3);
    EXPECT_EQ(ValueText(whole, 3), "3");
    EXPECT_EQ(ValueText(linear, 2.5), "2.5");
}

// Factors handed over as rows are the file's factors, checked alike; a problem names
// the factor, since there is no line.
TEST(FactorsRows, EqualTheFileAndNameTheFactorInTheirProblems) {
    const ParsedFactors file = ParseFactorsText(
        "name,low,high,scale\nSurvival,0.2,0.6,\nDispersalSigma,0.5,8,log\nDistMean,1,20,linear\n", "f.csv");
    const ParsedFactors rows =
        FactorsFromRows({{"Survival", 0.2, 0.6, ""}, {"DispersalSigma", 0.5, 8, "log"}, {"DistMean", 1, 20, "linear"}});
    ASSERT_TRUE(rows.Problems.empty()) << rows.Problems.front();
    ASSERT_EQ(rows.Factors.size(), file.Factors.size());
    for (std::size_t i = 0; i < rows.Factors.size(); ++i) {
        EXPECT_EQ(rows.Factors[i].Name, file.Factors[i].Name);
        EXPECT_EQ(rows.Factors[i].Low, file.Factors[i].Low);
        EXPECT_EQ(rows.Factors[i].High, file.Factors[i].High);
        EXPECT_EQ(rows.Factors[i].Scale, file.Factors[i].Scale);
        EXPECT_EQ(rows.Factors[i].Setting, file.Factors[i].Setting);
        EXPECT_EQ(rows.Factors[i].Whole, file.Factors[i].Whole);
    }
    // The text written for them reads back to the same factors.
    const ParsedFactors again = ParseFactorsText(FactorsText(rows.Factors), "again");
    ASSERT_EQ(again.Factors.size(), rows.Factors.size());
    EXPECT_EQ(again.Factors[1].Scale, FactorScale::Log);

    const ParsedFactors bad = FactorsFromRows({{"x", 2, 1, ""}, {"DistMean", 1.5, 20, ""}, {"y", 1, 2, "ln"}});
    EXPECT_TRUE(bad.Factors.empty());
    ASSERT_EQ(bad.Problems.size(), 3u);
    EXPECT_EQ(bad.Problems[0], "factor x: column high: high (1) must be greater than low (2)");
    EXPECT_EQ(bad.Problems[1].rfind("factor DistMean: column low: ", 0), 0u) << bad.Problems[1];
    EXPECT_EQ(bad.Problems[2], "factor y: column scale: \"ln\" is not a scale: linear or log");
    EXPECT_EQ(FactorsFromRows({}).Problems.size(), 1u);
}
