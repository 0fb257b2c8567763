// Calibration from files: a study's table and an observations file read as written,
// runs without a row at an observed step counted as faulted, refusals naming the file,
// line and column, posterior files with a point whatever the locale, and no input
// overwritten.
#include <gtest/gtest.h>

#include <clocale>

#include "AbcTables.h"
#include "KnownPosteriors.h"
#include "TestFiles.h"

using namespace glebix::calibration;
using namespace glebix::calibration::testing;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;

namespace {

const std::string StudyTable =
    "point,replicate,seed,mu,step,mean,other\r\n"
    "1,1,11,0.5,0,0,9\r\n"
    "1,1,11,0.5,1,0.4,9\r\n"
    "1,2,12,0.5,0,0,9\r\n"
    "1,2,12,0.5,1,0.6,9\r\n"
    "2,1,21,2.5,0,0,9\r\n"  // stopped before step 1: faulted
    "3,1,31,1.5,0,0,9\n"
    "3,1,31,1.5,1,,9\n";  // no value: faulted

std::vector<Observation> AtStepOne(double value) { return {{"1", "mean", value, 0}}; }

}  // namespace

TEST(AbcTables, CsvFieldsQuotesAndLineNumbers) {
    const CsvText csv = ParseCsv("a,\"b,c\"\n\n\"x \"\"y\"\"\",2\n", "f.csv");
    EXPECT_EQ(csv.Header, (std::vector<std::string>{"a", "b,c"}));
    ASSERT_EQ(csv.Rows.size(), 1u);
    EXPECT_EQ(csv.Rows[0][0], "x \"y\"");
    EXPECT_EQ(csv.Lines[0], 3u);
    EXPECT_EQ(KeyOf([] { ParseCsv("a,b\n1,2\n1\n", "f.csv"); }), "calibration.csv_field_count");
    try {
        ParseCsv("a,b\n1,\"2\n", "f.csv");
        FAIL();
    } catch (const CalibrationError &e) {
        EXPECT_EQ(e.Key(), "calibration.csv_quote");
        EXPECT_EQ(e.Args(), (std::vector<std::string>{"f.csv", "2"}));
    }
    EXPECT_EQ(KeyOf([] { ParseCsv("", "f.csv"); }), "calibration.csv_empty");
}

TEST(AbcTables, RunsOfAStudyTable) {
    const std::vector<Factor> mu{{"mu", 0, 3}};
    const PriorRuns runs = RunsOfTable(ParseCsv(StudyTable, "t.csv"), "t.csv", mu, AtStepOne(0.5));
    ASSERT_EQ(runs.Parameters.Rows, 4u);
    EXPECT_EQ(runs.Seeds, (std::vector<std::uint64_t>{11, 12, 21, 31}));
    EXPECT_EQ(runs.Replicates, (std::vector<std::int64_t>{1, 2, 1, 1}));
    EXPECT_DOUBLE_EQ(runs.Summaries(1, 0), 0.6);
    const Candidates c = CandidatesOf(runs, std::vector<double>{0.5}, true);
    EXPECT_EQ(c.FaultedRuns, 2u);
    ASSERT_EQ(c.Ids.size(), 1u);
    EXPECT_EQ(c.Ids[0].Runs, 2u);

    // A table of one row per run: no step in the observations.
    const std::string perRun = "point,mu,mean\n1,0.5,0.4\n2,1.5,1.1\n";
    EXPECT_EQ(RunsOfTable(ParseCsv(perRun, "r.csv"), "r.csv", mu, {{{"", "mean", 1, 0}}}).Parameters.Rows, 2u);
    EXPECT_EQ(KeyOf([&] { RunsOfTable(ParseCsv(perRun, "r.csv"), "r.csv", mu, AtStepOne(1)); }),
              "calibration.observation_step");
    EXPECT_EQ(KeyOf([&] {
                  RunsOfTable(ParseCsv(perRun, "r.csv"), "r.csv", mu, {{{"", "total", 1, 0}}});
              }),
              "calibration.csv_column_missing");
    try {
        RunsOfTable(ParseCsv("point,mu,mean\n1,0.5,0,4\n", "r.csv"), "r.csv", mu, {{{"", "mean", 1, 0}}});
        FAIL();
    } catch (const CalibrationError &e) { EXPECT_EQ(e.Key(), "calibration.csv_field_count"); }
    try {
        RunsOfTable(ParseCsv("point,mu,mean\n1,0.5,0\n2,\"1,5\",1\n", "r.csv"), "r.csv", mu, {{{"", "mean", 1, 0}}});
        FAIL();
    } catch (const CalibrationError &e) {
        EXPECT_EQ(e.Key(), "calibration.csv_not_number");
        EXPECT_EQ(e.Args(), (std::vector<std::string>{"r.csv", "3", "mu", "1,5"}));
    }
}

TEST(AbcTables, ObservationsWithAndWithoutSd) {
    const auto o = ReadObservations(ParseCsv("step,metric,value,sd\n10,mean,1.5,0.2\n20,mean,2,\n", "o.csv"), "o.csv");
    ASSERT_EQ(o.size(), 2u);
    EXPECT_DOUBLE_EQ(o[0].Sd, 0.2);
    EXPECT_DOUBLE_EQ(o[1].Sd, 0);
    EXPECT_EQ(KeyOf([] { ReadObservations(ParseCsv("step,metric,value\n", "o.csv"), "o.csv"); }),
              "calibration.observations_empty");
    EXPECT_EQ(KeyOf([] { ReadObservations(ParseCsv("step,metric,value,sd\n1,m,1,-2\n", "o.csv"), "o.csv"); }),
              "calibration.csv_not_number");
    // An sd scales its summary instead of the runs' spread.
    const PriorRuns runs =
        RunsOfTable(ParseCsv(StudyTable, "t.csv"), "t.csv", std::vector<Factor>{{"mu", 0, 3}}, AtStepOne(0.5));
    const Candidates c = CandidatesOf(runs, std::vector<double>{0.5}, false, std::vector<double>{0.05});
    EXPECT_EQ(c.Scales[0].Rule, ScaleRule::Given);
    EXPECT_NEAR(c.Distances[0], 2, 1e-12);
}

// The whole path from files, under the French locale: the normal mean's posterior, in
// files whose numbers have points and read back to the posterior's own values.
TEST(AbcTables, CalibrationFromFiles) {
    ScratchDir dir;
    const PriorRuns prior = SamplePrior(MeanFactor(), 4000, 17, NormalMeanModel());
    std::string table = "point,replicate,seed,mu,step,mean\n";
    for (std::size_t r = 0; r < prior.Parameters.Rows; ++r)
        table += std::to_string(r + 1) + ",1," + std::to_string(prior.Seeds[r]) + "," +
                 NumberText(prior.Parameters(r, 0)) + ",10," + NumberText(prior.Summaries(r, 0)) + "\n";
    TableCalibration c;
    c.Table = dir.File("table.csv", table);
    c.Observations = dir.File("observed.csv", "step,metric,value\n10,mean,3\n");
    c.Posterior = dir / "posterior.csv";
    c.PosteriorSummary = dir / "posterior-summary.csv";
    c.Factors = MeanFactor();
    c.Settings = {0.1, Adjustment::LocalLinear, AdjustScale::Logit};
    ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr);
    const Posterior p = CalibrateTable(c);
    std::setlocale(LC_ALL, "C");
    const FactorSummary s = Summarise(p)[0];
    EXPECT_NEAR(s.Mean, ObservedMean, 0.1 * ExactSd * 3);
    const std::string summary = ReadAll(c.PosteriorSummary);
    EXPECT_EQ(summary, "factor,median,mean,low50,high50,low95,high95\nmu," + NumberText(s.Median) + "," +
                           NumberText(s.Mean) + "," + NumberText(s.Low50) + "," + NumberText(s.High50) + "," +
                           NumberText(s.Low95) + "," + NumberText(s.High95) + "\n");
    const CsvText posterior = ParseCsv(ReadAll(c.Posterior), "posterior.csv");
    EXPECT_EQ(posterior.Header,
              (std::vector<std::string>{"point", "replicate", "seed", "runs", "distance", "weight", "mu", "mu_run"}));
    ASSERT_EQ(posterior.Rows.size(), 400u);
    const std::size_t point = std::stoul(posterior.Rows[0][0]);
    EXPECT_EQ(posterior.Rows[0][2], std::to_string(prior.Seeds[point - 1]));
    EXPECT_EQ(posterior.Rows[0][7], NumberText(prior.Parameters(point - 1, 0)));
    EXPECT_FALSE(std::filesystem::exists(c.Posterior.string() + ".incomplete"));

    // An output named as an input is refused before anything is written.
    c.PosteriorSummary = c.Table;
    EXPECT_EQ(KeyOf([&] { CalibrateTable(c); }), "calibration.output_is_input");
    EXPECT_EQ(ReadAll(c.Table), table);
}
