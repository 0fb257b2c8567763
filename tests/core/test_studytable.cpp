// The study table's rows and the seeds of a design's runs: the parts that the Python
// and R packages share with the batch tool.
#include <gtest/gtest.h>
#include <memory>
#include <set>

#include "RunOutputs.h"
#include "SeedMixing.h"
#include "Simul.h"
#include "StudySummary.h"
#include "StudyTable.h"

using namespace glebix;
using namespace glebix::core;

TEST(StudyTable, HeaderAndPrefixQuoteWhatCsvNeeds) {
    EXPECT_EQ(StudyTableHeader({}), "point,replicate,seed," + StepColumns() + "\n");
    EXPECT_EQ(StudyTableHeader({"Survival", "EnvFilePath"}),
              "point,replicate,seed,Survival,EnvFilePath,step,cell_density,cell_compacted,cell_decompacted,"
              "mean_density,mean_compacted,total_density\n");
    EXPECT_EQ(StudyRowPrefix(12, 3, 4294967295u, {"0.35", "a, b.txt", "say \"hi\"", " lead", "x\ny"}),
              "12,3,4294967295,0.35,\"a, b.txt\",\"say \"\"hi\"\"\",\" lead\",\"x\ny\",");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("plain"), "plain");
}

TEST(StudyTable, RowsAgreeWithTheTraceAndUseAPointWhateverTheLocale) {
    // The tests run under a French locale: a comma would split a real in two columns.
    auto simul = std::make_unique<Simul>();
    simul->SetUpRun(42);
    simul->TimeStep();
    std::string row;
    AppendStudyRow(row, StudyRowPrefix(1, 1, 42, {}), 1, RecordStep(*simul));
    EXPECT_EQ(row, "1,1,42," + TraceRow(1, *simul));
    // Step 0 of the default plot: the centre's nine cells of 2 and a random environment.
    simul->SetUpRun(42);
    std::string first;
    AppendStepValues(first, 0, RecordStep(*simul));
    EXPECT_EQ(first.rfind("0,0,", 0), 0u);
    EXPECT_EQ(first.substr(first.rfind(',')), ",18");
    EXPECT_NE(first.find("0.0072,"), std::string::npos) << first;  // mean density 18 / 2500
}

TEST(StudySeeds, CommonNumbersShareReplicateSeedsAndIndependentOnesNever) {
    const std::uint32_t master = 7;
    const int points = 40, replicates = 25;
    std::set<std::uint32_t> independent;
    for (int p = 1; p <= points; ++p) {
        for (int r = 1; r <= replicates; ++r) {
            EXPECT_EQ(StudySeed(master, p, r, replicates, false), ReplicateSeed(master, r));
            const std::uint32_t seed = StudySeed(master, p, r, replicates, true);
            EXPECT_EQ(seed, ReplicateSeed(master, (p - 1) * replicates + r));
            independent.insert(seed);
        }
    }
    EXPECT_EQ(StudySeed(master, 1, 1, replicates, true), master);  // run 1 keeps the master, as without a design
    EXPECT_EQ(independent.size(), static_cast<std::size_t>(points * replicates));
}

TEST(StudySummary, OneBlockPerPointLedByItsValuesAndTheSameNumbersAsWithoutADesign) {
    const std::vector<StepSeries> runs = {{{10, 20}, {1.5, 2.5}}, {{14}, {2.5}}};
    const std::string plain = SummaryHeader({}, false) + SummaryRows("", runs);
    EXPECT_EQ(plain, SummaryCsv(runs));
    EXPECT_EQ(SummaryHeader({"Survival"}, true),
              "point,Survival,step,runs,total_density_mean,total_density_sd,mean_compacted_mean,mean_compacted_sd\n");
    EXPECT_EQ(SummaryRows(SummaryPrefix(3, {"0.5"}), runs),
              "3,0.5,1,2,12,2.8284271247461903,2,0.7071067811865476\n"
              "3,0.5,2,1,20,NA,2.5,NA\n");
}

// A run whose memory ran out while its step was recorded counts for the steps both of
// its series hold, and never reads past the shorter one; Append keeps them even.
TEST(StudySummary, ARunCountsForTheStepsBothItsSeriesHold) {
    StepSeries even;
    even.Append(10, 1.5);
    even.Append(20, 2.5);
    ASSERT_EQ(even.Totals.size(), even.MeanCompacted.size());
    const StepSeries cut{{14, 40}, {2.5}};  // the second step's mean was refused
    EXPECT_EQ(cut.Steps(), 1u);
    EXPECT_EQ(SummaryRows("", {even, cut}),
              "1,2,12,2.8284271247461903,2,0.7071067811865476\n"
              "2,1,20,NA,2.5,NA\n");
}

// The columns a front end's table has for its settings and design, as the batch tool's.
TEST(StudyTable, LostColumnWhenARunMayHaveAMask) {
    TSettings settings = DefaultSettings();
    EXPECT_FALSE(TableCounts(settings, {}).Lost);
    EXPECT_FALSE(TableCounts(settings, {"Survival", "EnvInitMode"}).Lost);
    EXPECT_TRUE(TableCounts(settings, {"Survival", "HabitatFilePath"}).Lost);
    settings.Initial.HabitatFilePath = "habitat.asc";
    EXPECT_TRUE(TableCounts(settings, {}).Lost);
    EXPECT_FALSE(TableCounts(settings, {}).Emigrants);
    EXPECT_TRUE(TableCounts(settings, {"Edges"}).Emigrants);
}
