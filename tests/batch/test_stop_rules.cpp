// --stop-when, as the program ships: a stopped run is the same run cut at the step its
// rule first held, complete, and its records say where and why.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "StopRule.h"
#include "BatchProgram.h"
#include "TestFiles.h"

using namespace glebix::testing;
using glebix::core::ParseStopRule;
using glebix::core::StepRecord;

namespace {

// A small plot where a weak survival ends the population within a few steps.
const std::string Dying = "--set PlotWidth=10 --set PlotHeight=10 --set Survival=0.2 --seed 3 --quiet";

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string LastField(const std::string &line) { return line.substr(line.rfind(',') + 1); }

// The first row (after the header) whose total_density, the last step column, is 0.
std::size_t FirstExtinctRow(const std::vector<std::string> &rows) {
    for (std::size_t k = 1; k < rows.size(); ++k)
        if (LastField(rows[k]) == "0") return k;
    return 0;
}

}  // namespace

TEST(StopRules, AStoppedRunIsTheSameRunCutAtItsExtinction) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram(Dying + " --steps 40 --table " + dir / "full.csv"), 0);
    ASSERT_EQ(RunProgram(Dying + " --steps 40 --stop-when extinct --table " + dir / "cut.csv" + " --out " + dir / "o" +
                         " --asc " + dir / "a"),
              0);
    const std::vector<std::string> full = Lines(ReadAll(dir / "full.csv")), cut = Lines(ReadAll(dir / "cut.csv"));
    const std::size_t extinct = FirstExtinctRow(full);
    ASSERT_GT(extinct, 1u);
    ASSERT_LT(extinct + 1, full.size()) << "the run must outlive its population for the test to tell";
    // The same rows up to the first extinct step, with the rule on that row alone.
    ASSERT_EQ(cut.size(), extinct + 1);
    EXPECT_EQ(cut[0], full[0] + ",stopped_by");
    for (std::size_t k = 1; k < extinct; ++k) EXPECT_EQ(cut[k], full[k] + ",");
    EXPECT_EQ(cut[extinct], full[extinct] + ",extinct");
    // Its final grids and result file are those of a run asked for that many steps.
    const std::string steps = std::to_string(extinct - 1);
    ASSERT_EQ(RunProgram(Dying + " --steps " + steps + " --out " + dir / "p" + " --asc " + dir / "b"), 0);
    EXPECT_EQ(ReadAll(dir / "a/density.asc"), ReadAll(dir / "b/density.asc"));
    EXPECT_EQ(ReadAll(dir / "a/compacted.asc"), ReadAll(dir / "b/compacted.asc"));
    EXPECT_EQ(ReadAll(dir / "o/RireVed1a1p1.txt"), ReadAll(dir / "p/RireVed1a1p1.txt"));
    const std::string manifest = ReadAll(dir / "o/manifest.json");
    EXPECT_NE(manifest.find("\"status\": \"completed\""), std::string::npos);
    EXPECT_NE(manifest.find("\"steps_reached\": " + steps + ","), std::string::npos);
    EXPECT_NE(manifest.find("\"stopped_by\": \"extinct\""), std::string::npos);
}

TEST(StopRules, AThresholdStopsAtTheFirstStepItHoldsAndAThinnedTableKeepsThatStep) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram(Dying + " --steps 40 --table " + dir / "full.csv"), 0);
    const std::vector<std::string> full = Lines(ReadAll(dir / "full.csv"));
    // The third row's total, exactly: "at most" holds there and not before it unless
    // an earlier total was as low; "below" the same total holds later, if ever.
    const std::string total = LastField(full[3]);
    std::size_t first = 1;
    while (std::stol(LastField(full[first])) > std::stol(total)) ++first;
    ASSERT_EQ(RunProgram(Dying + " --steps 40 --table-every last --stop-when 'total_density<=" + total + "' --table " +
                         dir / "cut.csv"),
              0);
    const std::vector<std::string> cut = Lines(ReadAll(dir / "cut.csv"));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[1], full[first] + ",total_density<=" + total);
    // Two rules: the first that holds is the one recorded.
    ASSERT_EQ(RunProgram(Dying + " --steps 40 --stop-when 'mean_compacted>1000' --stop-when extinct --table " +
                         dir / "two.csv"),
              0);
    EXPECT_EQ(LastField(Lines(ReadAll(dir / "two.csv")).back()), "extinct");
}

TEST(StopRules, ARuleThatIsNotOneIsRefusedAndNothingIsWritten) {
    ScratchDir dir;
    for (const char *rule : {"nothing<3", "total_density", "total_density<", "total_density=3", "<3",
                             "mean_compacted>9,5", "total_density<1e999"}) {
        EXPECT_EQ(RunProgram(Dying + " --steps 5 --stop-when '" + std::string(rule) + "' --out " + dir / "o"), 2)
            << rule;
        EXPECT_FALSE(std::filesystem::exists(dir / "o")) << rule;
    }
}

TEST(StopRules, AtMostAndBelowDifferAtTheThreshold) {
    StepRecord record;
    record.TotalDensity = 5;
    EXPECT_TRUE(Holds(*ParseStopRule("total_density<=5").Rule, record));
    EXPECT_FALSE(Holds(*ParseStopRule("total_density<5").Rule, record));
    EXPECT_TRUE(Holds(*ParseStopRule("total_density>=5").Rule, record));
    EXPECT_FALSE(Holds(*ParseStopRule("total_density>5").Rule, record));
    record.TotalDensity = 0;
    EXPECT_TRUE(Holds(*ParseStopRule("extinct").Rule, record));
}
