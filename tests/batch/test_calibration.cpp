// --calibrate and --analyse --method abc-rejection, as the program ships: a value of
// Survival recovered from observations that Glebix itself made at it, the same bytes
// from the same seed, and the refusals that run and write nothing.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <optional>
#include <sstream>

#include <sys/wait.h>

#include "BatchProgram.h"
#include "CalibrationObservations.h"
#include "TestFiles.h"

using namespace glebix::testing;

namespace {

constexpr double TrueSurvival = 0.42, PriorLow = 0.2, PriorHigh = 0.8;
const char *const Factors = "name,low,high\nSurvival,0.2,0.8\n";
const std::string &Plot = CalibrationPlot;

}  // namespace

TEST(CalibrationProgram, RecoversSurvivalReproducibly) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors), observed = SurvivalObservations(dir);
    const std::string calibrate =
        "--calibrate --factors " + factors + " --observed " + observed + " --samples 300 --accept 0.1 --seed 3" + Plot;
    ASSERT_EQ(RunProgram(calibrate + " --method abc-rejection --jobs 2 --out " + dir / "a"), 0);
    const auto interval = Interval95(ReadAll(dir / "a/posterior-summary.csv"));
    ASSERT_TRUE(interval);
    EXPECT_LE(interval->Low, TrueSurvival);
    EXPECT_GE(interval->High, TrueSurvival);
    EXPECT_LT(interval->High - interval->Low, (PriorHigh - PriorLow) / 4);
    // The seed makes the calibration, whatever the threads.
    ASSERT_EQ(RunProgram(calibrate + " --method abc-rejection --jobs 1 --out " + dir / "b"), 0);
    EXPECT_EQ(ReadAll(dir / "b/posterior.csv"), ReadAll(dir / "a/posterior.csv"));
    // A step is a number, however written.
    std::string padded = ReadAll(observed);
    padded.replace(padded.find("\n5,"), 3, "\n+05,");
    ASSERT_EQ(RunProgram("--calibrate --factors " + factors + " --observed " + dir.File("padded.csv", padded) +
                         " --samples 300 --accept 0.1 --seed 3" + Plot + " --method abc-rejection --out " + dir / "c"),
              0);
    EXPECT_EQ(ReadAll(dir / "c/posterior.csv"), ReadAll(dir / "a/posterior.csv"));
    const std::string posterior = ReadAll(dir / "a/posterior.csv");
    EXPECT_EQ(posterior.substr(0, posterior.find('\n')),
              "point,replicate,seed,runs,distance,weight,Survival,Survival_run");
    EXPECT_NE(ReadAll(dir / "a/manifest.json").find("\"method\": \"abc-rejection\""), std::string::npos);
    // Sequential Monte Carlo within its run budget.
    ASSERT_EQ(RunProgram(calibrate + " --method abc-smc --out " + dir / "smc"), 0);
    const auto smc = Interval95(ReadAll(dir / "smc/posterior-summary.csv"));
    ASSERT_TRUE(smc);
    EXPECT_LE(smc->Low, TrueSurvival);
    EXPECT_GE(smc->High, TrueSurvival);
    EXPECT_NE(ReadAll(dir / "smc/manifest.json").find("\"runs\": 300"), std::string::npos);
}

// A table of runs made elsewhere (here a sampled study) calibrated afterwards.
TEST(CalibrationProgram, CalibratesATable) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors), observed = SurvivalObservations(dir);
    ASSERT_EQ(RunProgram("--sample lhs --factors " + factors + " --samples 100 --seed 2 --design-out " + dir / "d.csv"),
              0);
    ASSERT_EQ(RunProgram("--design " + dir / "d.csv" + " --seed 4 --independent-seeds --table " + dir / "t.csv" + Plot),
              0);
    const std::string analyse = "--analyse " + dir / "t.csv" + " --method abc-rejection --factors " + factors +
                                " --observed " + observed + " --accept 0.2 --out ";
    ASSERT_EQ(RunProgram(analyse + dir / "cal"), 0);
    const auto interval = Interval95(ReadAll(dir / "cal/posterior-summary.csv"));
    ASSERT_TRUE(interval);
    EXPECT_LE(interval->Low, TrueSurvival);
    EXPECT_GE(interval->High, TrueSurvival);
    // A table is calibrated by rejection only.
    EXPECT_EQ(RunProgram("--analyse " + dir / "t.csv" + " --method abc-smc --factors " + factors + " --observed " +
                         observed + " --out " + dir / "smc"),
              2);
    EXPECT_FALSE(std::filesystem::exists(dir / "smc"));
    // Earlier results are never replaced.
    const std::string before = ReadAll(dir / "cal/posterior.csv");
    EXPECT_EQ(RunProgram(analyse + dir / "cal"), 2);
    EXPECT_EQ(ReadAll(dir / "cal/posterior.csv"), before);
}

// Each refusal exits 2 before any run, names what is wrong, and writes nothing.
TEST(CalibrationProgram, BadInputRunsAndWritesNothing) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors), observed = SurvivalObservations(dir);
    const std::string out = dir / "out", messages = dir / "messages.txt";
    const auto refused = [&](const std::string &arguments, const std::string &said) {
        EXPECT_EQ(RunProgram("--calibrate --seed 1 --samples 10 --out " + out + Plot + arguments, messages), 2)
            << arguments;
        EXPECT_NE(ReadAll(messages).find(said), std::string::npos) << ReadAll(messages);
        EXPECT_FALSE(std::filesystem::exists(out)) << arguments;
    };
    const std::string rejection = " --method abc-rejection --factors " + factors;
    refused(rejection + " --observed " + observed + " --accept 0", "the accept fraction 0 is outside (0, 1]");
    refused(rejection + " --observed " + observed + " --accept 1.5", "outside (0, 1]");
    refused(" --method abc-magic --factors " + factors + " --observed " + observed, "\"abc-magic\" is not a method");
    refused(" --method abc-rejection --factors " + dir.File("wide.csv", "name,low,high\nResponseShape,0,5\n") +
                " --observed " + observed,
            "column high: ");
    refused(" --method abc-rejection --factors " + dir.File("other.csv", "name,low,high\nmu,0,1\n") + " --observed " +
                observed,
            "factor mu is not a Glebix setting");
    const std::string late = dir.File("late.csv", "step,metric,value\n5,total_density,3\n21,total_density,9\n");
    refused(rejection + " --observed " + late, "line 3, column step: \"21\" is not a whole step from 0 to 20");
    const std::string unknown = dir.File("unknown.csv", "step,metric,value\n5,total_count,3\n");
    refused(rejection + " --observed " + unknown, "line 2, column metric: \"total_count\" is not a known metric");
    const std::string word = dir.File("word.csv", "step,metric,value\n5,total_density,three\n");
    refused(rejection + " --observed " + word, "line 2, column value: \"three\" is not a number");
    refused(" --method abc-smc --replicates 2 --factors " + factors + " --observed " + observed,
            "--replicates is for abc-rejection");
}

// Runs that fault (mode 0 reads a distribution file that is not given) have no distance:
// none is kept, they are counted, and the others make the posterior.
TEST(CalibrationProgram, FaultedRunsAreNeverKept) {
    ScratchDir dir;
    const std::string factors = dir.File("modes.csv", "name,low,high\nSurvival,0.2,0.8\nDistInitMode,0,4\n");
    const std::string observed = SurvivalObservations(dir);
    ASSERT_EQ(RunProgram("--calibrate --method abc-rejection --factors " + factors + " --observed " + observed +
                         " --samples 60 --accept 0.5 --seed 3 --out " + dir / "cal" + Plot),
              0);
    const std::string manifest = ReadAll(dir / "cal/manifest.json"), key = "\"faulted_runs\": ";
    const std::size_t at = manifest.find(key);
    ASSERT_NE(at, std::string::npos);
    int faulted = 0;
    std::from_chars(manifest.data() + at + key.size(), manifest.data() + manifest.size(), faulted);
    EXPECT_GT(faulted, 0);
    std::istringstream lines(ReadAll(dir / "cal/posterior.csv"));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.substr(line.rfind(',') + 1), "DistInitMode_run");
    int kept = 0;
    for (; std::getline(lines, line); ++kept) EXPECT_NE(line.substr(line.rfind(',') + 1), "0") << line;
    // Half of the runs that did not fault.
    EXPECT_EQ(kept, (60 - faulted + 1) / 2);
}

// A manifest without its lines of creation time and output folder, which alone differ
// between two calibrations made into two folders.
std::string ManifestBody(const std::string &text, const std::string &folder) {
    std::istringstream lines(text);
    std::string line, out;
    while (std::getline(lines, line))
        if (line.find("\"created\"") == std::string::npos && line.find(folder) == std::string::npos) out += line + "\n";
    return out;
}

// abc-smc stopped by a signal keeps its last complete generation in the folder, and the
// same command then ends as the unbroken calibration does, byte for byte, its manifest
// counting the runs that faulted (mode 0 reads a distribution file not given) over the
// whole calibration.
TEST(CalibrationProgram, InterruptedSmcResumesAsUnbroken) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", "name,low,high\nSurvival,0.2,0.8\nDistInitMode,0,4\n");
    const std::string observed = SurvivalObservations(dir);
    const std::string smc = "--calibrate --method abc-smc --factors " + factors + " --observed " + observed +
                            " --samples 2000 --accept 0.05 --seed 8 --set PlotWidth=20 --set PlotHeight=20"
                            " --steps 20 --quiet --out ";
    ASSERT_EQ(RunProgram(smc + dir / "unbroken"), 0);
    const std::string broken = dir / "broken", state = broken + "/abc-smc-state.txt";
    // Started in the background and interrupted once its first generation is kept.
    const std::string script = "LANGUAGE=en " + std::string(GLEBIX_BATCH_PROGRAM) + " " + smc + broken +
                               " & pid=$!; while kill -0 $pid 2>/dev/null && [ ! -f " + state +
                               " ]; do sleep 0.01; done; kill -INT $pid 2>/dev/null; wait $pid; echo $? > " +
                               dir / "status";
    std::system(("sh -c '" + script + "' >/dev/null 2>&1").c_str());
    const std::string status = ReadAll(dir / "status");
    if (status != "130\n") GTEST_SKIP() << "ended before the signal: " << status;
    EXPECT_TRUE(std::filesystem::exists(state));
    EXPECT_FALSE(std::filesystem::exists(broken + "/posterior.csv"));
    ASSERT_EQ(RunProgram(smc + broken), 0);
    EXPECT_EQ(ReadAll(broken + "/posterior.csv"), ReadAll(dir / "unbroken/posterior.csv"));
    EXPECT_EQ(ReadAll(broken + "/posterior-summary.csv"), ReadAll(dir / "unbroken/posterior-summary.csv"));
    const std::string manifest = ReadAll(dir / "unbroken/manifest.json");
    EXPECT_EQ(manifest.find("\"faulted_runs\": 0,"), std::string::npos);
    EXPECT_EQ(ManifestBody(ReadAll(broken + "/manifest.json"), broken), ManifestBody(manifest, dir / "unbroken"));
    EXPECT_FALSE(std::filesystem::exists(state));
}

// A state left by an earlier format of abc-smc is refused by its version, and stays.
TEST(CalibrationProgram, OlderSmcStateIsRefused) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors), observed = SurvivalObservations(dir);
    std::filesystem::create_directories(dir / "cal");
    const std::string older = "glebix-abc-smc 1\nsettings 15 0.5 0 300 0 20 3\nend\n";
    const std::string state = dir.File("cal/abc-smc-state.txt", older);
    const std::string output = dir / "said.txt";
    EXPECT_NE(RunProgram("--calibrate --method abc-smc --factors " + factors + " --observed " + observed +
                             " --samples 300 --seed 3 --out " + dir / "cal" + Plot,
                         output),
              0);
    EXPECT_NE(ReadAll(output).find("is of format 1"), std::string::npos) << ReadAll(output);
    EXPECT_EQ(ReadAll(state), older);
    EXPECT_FALSE(std::filesystem::exists(dir / "cal/posterior.csv"));
}

// On a small case, abc-smc from half the runs reaches the rejection's posterior: the
// same median, and a 95 % interval as narrow, holding the true value; the same bytes on
// one thread as on two.
TEST(CalibrationProgram, SmcMatchesTheRejectionWithHalfTheRuns) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors), observed = SurvivalObservations(dir);
    const std::string calibrate =
        "--calibrate --factors " + factors + " --observed " + observed + " --accept 0.05 --seed 3" + Plot;
    constexpr int RejectionRuns = 3000;
    ASSERT_EQ(RunProgram(calibrate + " --method abc-rejection --samples " + std::to_string(RejectionRuns) + " --out " +
                         dir / "rejection"),
              0);
    ASSERT_EQ(RunProgram(calibrate + " --method abc-smc --jobs 2 --samples " + std::to_string(RejectionRuns / 2) +
                         " --out " + dir / "smc"),
              0);
    const auto rejection = Interval95(ReadAll(dir / "rejection/posterior-summary.csv"));
    const auto smc = Interval95(ReadAll(dir / "smc/posterior-summary.csv"));
    ASSERT_TRUE(rejection && smc);
    const double width = rejection->High - rejection->Low;
    EXPECT_NEAR((smc->Low + smc->High) / 2, (rejection->Low + rejection->High) / 2, width / 4);
    EXPECT_LE(smc->High - smc->Low, 1.25 * width);
    EXPECT_GE(smc->High - smc->Low, width / 2);
    EXPECT_LE(smc->Low, TrueSurvival);
    EXPECT_GE(smc->High, TrueSurvival);
    EXPECT_NE(ReadAll(dir / "smc/manifest.json").find("\"runs\": " + std::to_string(RejectionRuns / 2)),
              std::string::npos);
    // The seed makes the calibration, whatever the threads.
    ASSERT_EQ(RunProgram(calibrate + " --method abc-smc --jobs 1 --samples " + std::to_string(RejectionRuns / 2) +
                         " --out " + dir / "one"),
              0);
    EXPECT_EQ(ReadAll(dir / "one/posterior.csv"), ReadAll(dir / "smc/posterior.csv"));
}

// The prior's points of each design, read from a posterior that keeps every run.
std::vector<double> PriorPoints(ScratchDir &dir, const std::string &observed, const std::string &design) {
    const std::string factors = dir.File("prior.csv", Factors), out = dir / ("prior-" + design);
    EXPECT_EQ(RunProgram("--calibrate --method abc-rejection --factors " + factors + " --observed " + observed +
                         " --samples 20 --accept 1 --seed 3 --out " + out +
                         (design.empty() ? "" : " --prior-sample " + design) + Plot),
              0);
    std::istringstream lines(ReadAll(out + "/posterior.csv"));
    std::string line;
    std::getline(lines, line);
    std::vector<double> values;
    while (std::getline(lines, line)) {
        const std::string field = line.substr(line.rfind(',') + 1);
        double value = 0;
        std::from_chars(field.data(), field.data() + field.size(), value);
        values.push_back(value);
    }
    return values;
}

// Each of N equal strata of the prior's range holds one of N Latin hypercube points,
// the default; independent draws leave some strata empty and fill others twice.
TEST(CalibrationProgram, ThePriorIsALatinHypercubeUnlessAskedOtherwise) {
    ScratchDir dir;
    const std::string observed = SurvivalObservations(dir);
    const auto strata = [](const std::vector<double> &points) {
        std::vector<int> counts(points.size(), 0);
        for (double p : points)
            ++counts[static_cast<std::size_t>((p - PriorLow) / (PriorHigh - PriorLow) * points.size())];
        return counts;
    };
    const std::vector<double> lhs = PriorPoints(dir, observed, "");
    ASSERT_EQ(lhs.size(), 20u);
    EXPECT_EQ(strata(lhs), std::vector<int>(20, 1));
    EXPECT_EQ(PriorPoints(dir, observed, "lhs"), lhs);
    const std::vector<double> uniform = PriorPoints(dir, observed, "uniform");
    ASSERT_EQ(uniform.size(), 20u);
    EXPECT_NE(strata(uniform), std::vector<int>(20, 1));
    EXPECT_EQ(PriorPoints(dir, observed, "sobol").size(), 20u);
    // An unknown design, and a design for abc-smc, which draws its own population.
    const std::string factors = dir.File("f.csv", Factors);
    EXPECT_EQ(RunProgram("--calibrate --method abc-rejection --factors " + factors + " --observed " + observed +
                         " --samples 20 --seed 3 --prior-sample halton --out " + dir / "no" + Plot),
              2);
    EXPECT_EQ(RunProgram("--calibrate --method abc-smc --factors " + factors + " --observed " + observed +
                         " --samples 60 --seed 3 --prior-sample lhs --out " + dir / "no" + Plot),
              2);
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}
