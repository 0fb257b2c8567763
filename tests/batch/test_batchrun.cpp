// Whole batch runs: repeatability, replicates, agreement between the outputs, and the
// program's exit statuses.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>

#include "BatchMain.h"
#include "BatchRun.h"
#include "TestFiles.h"
#include "Conversions.h"
#include "ResultFile.h"
#include "SettingsTable.h"
#include "BatchWarnings.h"
#include "Validate.h"

using namespace glebix;
using namespace glebix::batch;
using namespace glebix::invocation;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
namespace fs = std::filesystem;

namespace {

BatchOptions Options(std::vector<std::string> args) {
    ParsedCommandLine p = ParseCommandLine(args);
    EXPECT_TRUE(p.Problems.empty()) << p.Problems.front();
    return p.Options;
}

// Every output of a run except the manifest, which holds times.
std::vector<std::string> OutputFiles(const std::string &dir) {
    std::vector<std::string> files;
    for (const auto &e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename() != "manifest.json")
            files.push_back(fs::relative(e.path(), dir).string());
    std::sort(files.begin(), files.end());
    return files;
}

void ExpectSameFiles(const std::string &a, const std::string &b) {
    const auto files = OutputFiles(a);
    EXPECT_EQ(files, OutputFiles(b));
    for (const std::string &f : files) EXPECT_EQ(ReadAll(a + "/" + f), ReadAll(b + "/" + f)) << f;
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::string> Fields(const std::string &line, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = line.find(separator, start)) != std::string::npos; start = end + 1)
        fields.push_back(line.substr(start, end - start));
    fields.push_back(line.substr(start));
    return fields;
}

// Runs the program with its standard output and error into `output`; the exit status.
int RunProgram(const std::string &arguments, const std::string &output) {
    const std::string command = std::string(GLEBIX_BATCH_PROGRAM) + " " + arguments + " >" + output + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunProgram(const std::string &arguments) {
    const std::string command = std::string(GLEBIX_BATCH_PROGRAM) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(BatchRun, SameSeedGivesIdenticalFiles) {
    ScratchDir dir;
    for (const char *name : {"a", "b"}) {
        const std::string base = dir / name;
        const BatchOptions o =
            Options({"--steps", "12", "--seed", "99", "--every", "5", "--set", "DistInitMode=1", "--out", base + "/out",
                     "--trace", base + "/trace.csv", "--snapshots", base + "/maps", "--asc", base + "/grids"});
        EXPECT_EQ(RunBatch(o, 99, false, {}).ExitStatus, 0);
    }
    const auto files = OutputFiles(dir / "a");
    EXPECT_EQ(files, (std::vector<std::string>{"grids/compacted.asc", "grids/density.asc", "maps/map-00005.png",
                                               "maps/map-00010.png", "maps/map-00012.png", "out/" + ResultFileName(),
                                               "trace.csv"}));
    ExpectSameFiles(dir / "a", dir / "b");
}

TEST(BatchRun, ReplicatesInParallelMatchReplicatesInSequence) {
    ScratchDir dir;
    std::vector<BatchOutcome> outcomes;
    for (const char *jobs : {"1", "2"}) {
        const std::string base = dir / jobs;
        const BatchOptions o = Options({"--steps", "8", "--replicates", "3", "--jobs", jobs, "--out", base, "--trace",
                                        base + "/t.csv", "--set", "DistInitMode=1"});
        outcomes.push_back(RunBatch(o, 2024, false, {}));
        EXPECT_EQ(outcomes.back().ExitStatus, 0);
    }
    ExpectSameFiles(dir / "1", dir / "2");
    EXPECT_TRUE(fs::exists(dir / ("1/run-003/" + ResultFileName())));
    EXPECT_TRUE(fs::exists(dir / "1/run-002/t.csv"));
    const auto summary = Lines(ReadAll(dir / "1/summary.csv"));
    ASSERT_EQ(summary.size(), 9u);
    EXPECT_EQ(summary[8].rfind("8,3,", 0), 0u);
    // Run 1 uses the master seed; the others their own, and they differ.
    ASSERT_EQ(outcomes[0].Runs.size(), 3u);
    const StudyLayout layout = Layout(Options({"--replicates", "3"}));
    EXPECT_EQ(PlanStudyRun(layout, 0, 2024).Seed, 2024u);
    EXPECT_NE(PlanStudyRun(layout, 1, 2024).Seed, PlanStudyRun(layout, 2, 2024).Seed);
    EXPECT_NE(ReadAll(dir / "1/run-001/t.csv"), ReadAll(dir / "1/run-002/t.csv"));
    const std::string manifest = ReadAll(dir / "1/run-002/manifest.json");
    EXPECT_NE(manifest.find("\"seed\": " + std::to_string(PlanStudyRun(layout, 1, 2024).Seed) + ","),
              std::string::npos);
    EXPECT_NE(manifest.find("\"status\": \"completed\""), std::string::npos);
}

TEST(BatchRun, TraceLastRowAgreesWithTheResultFile) {
    ScratchDir dir;
    const BatchOptions o = Options({"--steps", "15", "--out", dir.Path(), "--trace", dir / "t.csv", "--set",
                                    "ChartCellX=25", "--set", "ChartCellY=24"});
    ASSERT_EQ(RunBatch(o, 5, false, {}).ExitStatus, 0);
    const auto trace = Lines(ReadAll(dir / "t.csv"));
    ASSERT_EQ(trace.size(), 16u);  // header and one row per step
    const auto last = Fields(trace.back(), ',');
    ASSERT_EQ(last.size(), 7u);
    EXPECT_EQ(last[0], "15");

    const auto result = Lines(ReadAll(dir / ResultFileName()));
    ASSERT_EQ(result.size(), 2500u);
    std::int64_t total = 0;
    for (const std::string &line : result) total += *ParseWholeToken(Fields(line, ' ')[0]);
    EXPECT_EQ(std::to_string(total), last[6]);
    // Cell (25, 24) is line 24 * 50 + 24: its count, and its share to a tenth.
    const auto cell = Fields(result[24 * 50 + 23], ' ');
    EXPECT_EQ(cell[0], last[1]);
    std::string tenths;
    AppendTenths(tenths, *ParseRealToken(last[2]));
    EXPECT_EQ(cell[2], tenths + "\r");
}

TEST(BatchRun, ZeroStepsSetsUpWithoutResultFile) {
    ScratchDir dir;
    const BatchOptions o =
        Options({"--steps", "0", "--out", dir.Path(), "--trace", dir / "t.csv", "--snapshots", dir / "maps"});
    const BatchOutcome outcome = RunBatch(o, 1, false, {});
    EXPECT_EQ(outcome.ExitStatus, 0);
    EXPECT_FALSE(fs::exists(dir / ResultFileName()));
    EXPECT_EQ(Lines(ReadAll(dir / "t.csv")).size(), 1u);
    EXPECT_TRUE(fs::is_empty(dir / "maps"));
    EXPECT_NE(ReadAll(dir / "manifest.json").find("\"steps_reached\": 0"), std::string::npos);
}

TEST(BatchRun, SetUpErrorEndsEachRunWithItsMessage) {
    ScratchDir dir;
    const BatchOptions o = Options({"--steps", "5", "--replicates", "2", "--out", dir.Path(), "--set", "EnvInitMode=0",
                                    "--set", "EnvFilePath=" + (dir / "missing.txt")});
    std::vector<std::string> reported;
    const BatchOutcome outcome = RunBatch(o, 1, false, [&](const std::string &m) { reported.push_back(m); });
    EXPECT_EQ(outcome.ExitStatus, 1);
    std::sort(reported.begin(), reported.end());
    const std::string message = "EnvFilePath « " + (dir / "missing.txt") + " » : Fichier introuvable";
    EXPECT_EQ(reported, (std::vector<std::string>{"simulation 1 : " + message, "simulation 2 : " + message}));
    for (const char *run : {"run-001", "run-002"}) {
        const std::string manifest = ReadAll(dir / (std::string(run) + "/manifest.json"));
        EXPECT_NE(manifest.find("\"status\": \"error\""), std::string::npos);
        EXPECT_NE(manifest.find("\"message\": \"" + message + "\""), std::string::npos);
        EXPECT_NE(manifest.find("\"role\": \"environment\""), std::string::npos);
        EXPECT_NE(manifest.find("\"size\": null"), std::string::npos);
    }
}

TEST(BatchRun, FailedRunLeavesTheOthersGoingOn) {
    ScratchDir dir;
    glebix::testing::WriteAll(dir / "run-002", "");  // a file where run 2's folder should go
    const BatchOptions o = Options({"--steps", "4", "--replicates", "3", "--jobs", "2", "--out", dir.Path()});
    std::vector<std::string> reported;
    const BatchOutcome outcome = RunBatch(o, 8, false, [&](const std::string &m) { reported.push_back(m); });
    EXPECT_EQ(outcome.ExitStatus, 1);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].rfind("simulation 2 : ", 0), 0u) << reported[0];
    EXPECT_NE(reported[0].find(dir / "run-002"), std::string::npos) << reported[0];
    EXPECT_TRUE(outcome.Runs[0].Completed && outcome.Runs[2].Completed);
    EXPECT_TRUE(fs::exists(dir / ("run-003/" + ResultFileName())));
    // A run whose outputs could not be written is no result: the summary says so by its name.
    EXPECT_NE(reported[1].find("summary.csv.incomplete"), std::string::npos) << reported[1];
    EXPECT_FALSE(fs::exists(dir / "summary.csv"));
    EXPECT_EQ(Lines(ReadAll(dir / "summary.csv.incomplete")).back().rfind("4,2,", 0), 0u);
}

TEST(BatchRun, ManifestRecordsInputFilesAndSettings) {
    ScratchDir dir;
    glebix::testing::WriteAll(dir / "p.txt", "Survival=0.35\n");
    const BatchOptions o = Options({"--steps", "2", "--out", dir.Path(), "--params", dir / "p.txt"});
    ASSERT_EQ(RunBatch(o, 3, true, {}).ExitStatus, 0);
    const std::string manifest = ReadAll(dir / "manifest.json");
    for (const char *part :
         {"\"Survival\": \"0.35\"", "\"seed_source\": \"clock\"", "\"step_count\": 2", "\"size\": 14",
          "\"sha256\": \"e3294d5bc3d6f7ebf4c76fdc8ae5cfc7474ac06a6b3c6e118b491e9e9918891c\"",
          "\"DispersalFirst\": \"off\"", "\"version\": \""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(BatchRun, ValidateReportsProblemsAndRunsNothing) {
    ScratchDir dir;
    glebix::testing::WriteAll(dir / "env.txt", "1 1 33\n51 1 20\n");
    glebix::testing::WriteAll(dir / "dist.txt", "1 1 2.5\n");
    glebix::testing::WriteAll(dir / "file", "");
    const BatchOptions o = Options({"--validate", "--out", dir / "file", "--set", "EnvInitMode=0", "--set",
                                    "EnvFilePath=" + (dir / "env.txt"), "--set", "DistInitMode=0", "--set",
                                    "DistFilePath=" + (dir / "dist.txt"), "--set", "ResponseShape=1"});
    const auto problems = ValidateRun(o);
    ASSERT_EQ(problems.size(), 4u);
    // The file's line is not called a plot row; a refused token has its line and column.
    EXPECT_EQ(problems[0], "EnvFilePath « " + (dir / "env.txt") +
                               " », ligne du fichier 2 : « 51 » : Case hors de la parcelle : ligne 51, colonne 1 de la "
                               "parcelle (chacune va de 1 à 50)");
    EXPECT_EQ(problems[1], "DistFilePath « " + (dir / "dist.txt") +
                               " », ligne 1, colonne 5 : « 2.5 » : Saisie numérique incorrecte");
    EXPECT_EQ(problems[2].rfind("valeurs de l'espèce : ResponseTolerance : ", 0), 0u) << problems[2];
    EXPECT_NE(problems[2].find("tolérance"), std::string::npos);
    EXPECT_EQ(problems[3], "--out «" + (dir / "file") + "» : existe déjà et n'est pas un dossier");
    EXPECT_EQ(ValidateRun(Options({"--trace", dir.Path()})),
              std::vector<std::string>{"--trace «" + dir.Path() + "» : c'est un dossier, pas un fichier"});

    const BatchOptions good = Options({"--validate", "--out", dir / "none", "--steps", "3"});
    EXPECT_TRUE(ValidateRun(good).empty());
    EXPECT_EQ(BatchMain({"--validate", "--out", dir / "none", "--steps", "3"}), 0);
    EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST(BatchProgram, ExitStatuses) {
    ScratchDir dir;
    EXPECT_EQ(RunProgram("--help"), 0);
    EXPECT_EQ(RunProgram("--version"), 0);
    EXPECT_EQ(RunProgram("--steps 3 --seed 1 --quiet --out " + dir / "ok"), 0);
    EXPECT_TRUE(fs::exists(dir / ("ok/" + ResultFileName())));
    EXPECT_EQ(RunProgram("--steps 3 --set Survival=0,4 --out " + dir / "refused"), 2);
    EXPECT_FALSE(fs::exists(dir / "refused"));
    EXPECT_EQ(RunProgram("--steps 3 --frobnicate"), 2);
    EXPECT_EQ(RunProgram("--validate --set DistInitMode=0 --set DistFilePath=" + dir / "missing"), 2);
    EXPECT_EQ(RunProgram("--steps 3 --quiet --set DistInitMode=0 --set DistFilePath=" + dir / "missing"), 1);
}

// What the program itself prints: each line in French, the engine's messages as they are.
TEST(BatchProgram, MessagesInFrench) {
    ScratchDir dir;
    const std::string out = dir / "output.txt";
    EXPECT_EQ(RunProgram("--steps 3 --set Survival=0,4 --every=x", out), 2);
    EXPECT_EQ(
        ReadAll(out),
        "glebix-batch : --every : «x» n'est pas un nombre entier supérieur ou égal à 1\n"
        "glebix-batch : --set : paramètre Survival : «0,4» n'est pas un nombre décimal (avec un point, comme 0.4)\n"
        "glebix-batch : pour l'aide, tapez glebix-batch --help\n");

    EXPECT_EQ(RunProgram("--validate --steps 3", out), 0);
    EXPECT_EQ(ReadAll(out), "glebix-batch : aucun problème trouvé\n");
    EXPECT_EQ(RunProgram("--validate --set DistInitMode=0 --set DistFilePath=" + dir / "missing", out), 2);
    EXPECT_EQ(ReadAll(out), "glebix-batch : DistFilePath « " + dir / "missing" + " » : Fichier introuvable\n");

    // Without --seed, the seed drawn from the clock, so that the run can be repeated.
    EXPECT_EQ(RunProgram("--steps 0", out), 0);
    const std::string seedLine = ReadAll(out);
    const std::string seedStart = "glebix-batch : graine ", seedEnd = " (tirée de l'horloge)\n";
    ASSERT_EQ(seedLine.rfind(seedStart, 0), 0u) << seedLine;
    ASSERT_GT(seedLine.size(), seedStart.size() + seedEnd.size());
    EXPECT_EQ(seedLine.substr(seedLine.size() - seedEnd.size()), seedEnd);
    EXPECT_TRUE(ParseSeed(seedLine.substr(seedStart.size(), seedLine.size() - seedStart.size() - seedEnd.size())));

    EXPECT_EQ(RunProgram("--steps 2 --seed 4 --quiet --replicates 2 --set DistInitMode=0 --set DistFilePath=" +
                             dir / "missing",
                         out),
              1);
    const auto lines = Lines(ReadAll(out));
    const std::string missing = "DistFilePath « " + dir / "missing" + " » : Fichier introuvable";
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()),
              (std::set<std::string>{"glebix-batch : attention : " + NothingKeptWarning(),
                                     "glebix-batch : simulation 1 : " + missing,
                                     "glebix-batch : simulation 2 : " + missing}));

    EXPECT_EQ(RunProgram("--help", out), 0);
    EXPECT_EQ(ReadAll(out), UsageText());
}
