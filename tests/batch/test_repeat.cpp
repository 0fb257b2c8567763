// Running again what a manifest describes: the same result file byte for byte, and a
// refusal when an input file has changed since.
#include <filesystem>
#include <gtest/gtest.h>

#include "BatchMain.h"
#include "BatchOptions.h"
#include "Manifest.h"
#include "Repeat.h"
#include "SettingsTable.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::batch;
using namespace glebix::invocation;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
using glebix::testing::WriteAll;

namespace {

// A run with a species file, an initial environment file and a clock seed.
struct OriginalRun {
    ScratchDir dir;
    std::string species, environment;
    OriginalRun(const std::vector<std::string> &extra = {}) {
        species = dir.File("espece.txt", "0.45 2 2 0 0 0.301 0 1 0 0.5\n");
        environment = dir.File("milieu.txt", "1 1 80\n25 25 10\n");
        std::vector<std::string> args = {
            "--species", species, "--set", "EnvInitMode=0", "--set",  "EnvFilePath=" + environment,
            "--steps",   "6",     "--out", dir / "out",     "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(BatchMain(args), 0);
    }
};

}  // namespace

TEST(Repeat, GivesTheSameResultFileAndSeed) {
    OriginalRun original;
    ScratchDir again;
    ASSERT_EQ(BatchMain({"--repeat", original.dir / "out/manifest.json", "--out", again.Path(), "--quiet"}), 0);
    const std::string result = ReadAll(original.dir / "out/RireVed1a1p1.txt");
    ASSERT_FALSE(result.empty());
    EXPECT_EQ(ReadAll(again / "RireVed1a1p1.txt"), result);
    // The new manifest names the same seed and inputs, so it can be repeated in turn.
    const std::string manifest = ReadAll(again / "manifest.json");
    const std::string first = ReadAll(original.dir / "out/manifest.json");
    const auto seedLine = [](const std::string &m) { return m.substr(m.find("\"seed\":"), 30); };
    EXPECT_EQ(seedLine(manifest), seedLine(first));
    EXPECT_NE(manifest.find(original.species), std::string::npos);
    EXPECT_NE(manifest.find(original.environment), std::string::npos);
}

TEST(Repeat, OneReplicateOfASweep) {
    OriginalRun original({"--replicates", "2", "--jobs", "1"});
    ScratchDir again;
    ASSERT_EQ(BatchMain({"--repeat", original.dir / "out/run-002/manifest.json", "--out", again.Path(), "--quiet"}), 0);
    EXPECT_EQ(ReadAll(again / "RireVed1a1p1.txt"), ReadAll(original.dir / "out/run-002/RireVed1a1p1.txt"));
    EXPECT_NE(ReadAll(again / "RireVed1a1p1.txt"), ReadAll(original.dir / "out/run-001/RireVed1a1p1.txt"));
}

TEST(Repeat, RefusesAChangedOrMissingInput) {
    OriginalRun original;
    const std::string manifest = original.dir / "out/manifest.json";
    WriteAll(original.environment, "1 1 81\n25 25 10\n");
    BatchOptions options;
    std::vector<std::string> problems = LoadRepeat(manifest, options);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find(original.environment), std::string::npos);
    EXPECT_NE(problems[0].find("a changé"), std::string::npos);
    ScratchDir again;
    EXPECT_EQ(BatchMain({"--repeat", manifest, "--out", again.Path(), "--quiet"}), 2);
    EXPECT_TRUE(again.Entries().empty());

    std::filesystem::remove(original.species);
    BatchOptions second;
    problems = LoadRepeat(manifest, second);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("ne peut être lu : Fichier introuvable"), std::string::npos);
}

TEST(Repeat, RefusesWhatIsNotAManifestAndOptionsThatWouldChangeTheRun) {
    ScratchDir dir;
    BatchOptions options;
    EXPECT_EQ(LoadRepeat(dir.File("x.json", "{\"program\": \"autre\", \"settings\": {}}"), options).size(), 1u);
    EXPECT_EQ(LoadRepeat(dir.File("y.json", "pas du JSON"), options).size(), 1u);
    EXPECT_EQ(LoadRepeat(dir / "absent.json", options).size(), 1u);
    const std::vector<std::string> bad = LoadRepeat(
        dir.File("z.json", R"({"program": "glebix", "seed": 5, "settings": {"Inconnu": "1", "Survival": 3}})"),
        options);
    EXPECT_EQ(bad.size(), 2u);

    const ParsedCommandLine parsed =
        ParseCommandLine({"--repeat", "m.json", "--seed", "3", "--steps", "2", "--out", "o"});
    ASSERT_EQ(parsed.Problems.size(), 2u);
    EXPECT_NE(parsed.Problems[0].find("--steps"), std::string::npos);
    EXPECT_NE(parsed.Problems[1].find("--seed"), std::string::npos);
    EXPECT_TRUE(ParseCommandLine({"--repeat", "m.json", "--out", "o", "--trace", "t.csv"}).Problems.empty());
}

// A member of another kind than a manifest gives it is a problem, or a member not
// there, never a failure of the reading itself.
TEST(Repeat, MembersOfAnotherKindAreProblems) {
    ScratchDir dir;
    const std::pair<std::string, std::size_t> cases[] = {
        {R"({"program": "glebix", "seed": "5", "settings": {}})", 1},
        {R"({"program": "glebix", "seed": 4294967296, "settings": {}})", 1},
        {R"({"program": "glebix", "seed": 2.5, "settings": {}})", 1},
        {R"({"program": "glebix", "seed": 5, "settings": [], "inputs": []})", 1},
        {R"({"program": 3, "seed": 5, "settings": {}})", 1},
        {"{\"program\": \"glebix\", \"seed\": 5, \"settings\": {\"Survival\": \"\xff\"}}", 1},
        {R"({"program": "glebix", "seed": 5, "settings": {}, "inputs": 3})", 0},
        {R"({"program": "glebix", "seed": 5, "settings": {}, "inputs": [1, {"role": 2}]})", 2},
        {R"({"program": "glebix", "seed": 5, "settings": {}, "resumed_from": 3})", 1},
        {R"({"program": "glebix", "seed": 4294967295, "settings": {"Survival": "0.5"}} )", 0},
    };
    for (const auto &[text, problems] : cases) {
        SCOPED_TRACE(text);
        BatchOptions options;
        EXPECT_EQ(LoadRepeat(dir.File("m.json", text), options).size(), problems);
    }
}

// A manifest's settings are checked as --set and --steps check them; only the blanks
// that lead a species file's numbers pass, kept as they stand.
TEST(Repeat, ManifestSettingsAreCheckedAsTheOptionsCheckThem) {
    ScratchDir dir;
    const auto manifest = [&dir](const std::string &name, const std::string &text) {
        return dir.File(
            "m.json", R"({"program": "glebix-batch", "seed": 5, "settings": {")" + name + R"(": ")" + text + R"("}})");
    };
    const std::pair<std::string, std::string> refused[] = {
        {"StepCount", "abc"},        {"StepCount", "-5"},   {"StepCount", "1e3"},       {"StepCount", "99999999999"},
        {"Survival", "0,45"},        {"Survival", "0.45x"}, {"ChartCellX", "5000"},     {"DecompactionD", "nan"},
        {"EnvDynamic", "peut-être"}, {"DistInitMode", "9"}, {"ResponseOptimum", "inf"},
    };
    for (const auto &[name, text] : refused) {
        SCOPED_TRACE(name + "=" + text);
        BatchOptions options;
        const std::vector<std::string> problems = LoadRepeat(manifest(name, text), options);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find(name), std::string::npos) << problems[0];
        EXPECT_NE(problems[0].find("«" + text + "»"), std::string::npos) << problems[0];
    }
    BatchOptions options;
    EXPECT_TRUE(LoadRepeat(manifest("CompactionC", " 3.0100000000000E-0001"), options).empty());
    EXPECT_EQ(options.Settings.Species.CompactionC, " 3.0100000000000E-0001");
    EXPECT_TRUE(LoadRepeat(manifest("StepCount", "12"), options).empty());
    EXPECT_EQ(options.Settings.Run.StepCount, "12");

    ScratchDir out;
    EXPECT_EQ(BatchMain({"--repeat", manifest("StepCount", "-5"), "--out", out.Path(), "--quiet"}), 2);
    EXPECT_TRUE(out.Entries().empty());
}

TEST(Repeat, ManifestPathBesideTheResultFile) {
    EXPECT_EQ(ManifestPathBeside("/d/RireVed1a1p1.txt"), "/d/RireVed1a1p1.json");
    EXPECT_EQ(ManifestPathBeside("/d.x/RireVed"), "/d.x/RireVed.json");
    EXPECT_EQ(ManifestPathBeside("RireVed1a1p1.txt"), "RireVed1a1p1.json");
}

// A resumed run is repeated from the state it went on from, which must be unchanged.
TEST(Repeat, AResumedRunGoesOnFromItsRecordedState) {
    ScratchDir dir;
    const std::string state = dir / "s.txt", manifest = dir / "r/manifest.json";
    ASSERT_EQ(BatchMain({"--seed", "4", "--steps", "3", "--save-state", state, "--quiet"}), 0);
    ASSERT_EQ(
        BatchMain({"--resume", state, "--steps", "6", "--set", "DecompactionD=1.5", "--out", dir / "r", "--quiet"}), 0);
    ASSERT_EQ(BatchMain({"--repeat", manifest, "--out", dir / "again", "--quiet"}), 0);
    const std::string result = ReadAll(dir / "r/RireVed1a1p1.txt");
    EXPECT_EQ(ReadAll(dir / "again/RireVed1a1p1.txt"), result);
    EXPECT_NE(ReadAll(dir / "again/manifest.json").find("\"resumed_from\""), std::string::npos);

    // Another valid state at the same place is not the one the run went on from.
    ASSERT_EQ(BatchMain({"--seed", "5", "--steps", "3", "--save-state", state, "--quiet"}), 0);
    BatchOptions options;
    const std::vector<std::string> problems = LoadRepeat(manifest, options);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("« " + state + " »"), std::string::npos);
    EXPECT_NE(problems[0].find("a changé"), std::string::npos);
    std::filesystem::remove(state);
    EXPECT_EQ(BatchMain({"--repeat", manifest, "--out", dir / "third", "--quiet"}), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "third/RireVed1a1p1.txt"));
}

// A design point comes back from the values its manifest holds, whatever became of the
// design file; a repeat is one run and takes no study options.
TEST(Repeat, ADesignPointFromItsRecordedValuesAndNoStudyOptions) {
    ScratchDir dir;
    const std::string design = dir.File("plan.csv", "Survival,EnvDynamic\n0.3,off\n0.4,on\n");
    ASSERT_EQ(BatchMain({"--design", design, "--replicates", "2", "--seed", "7", "--steps", "3", "--out", dir / "out",
                         "--quiet"}),
              0);
    WriteAll(design, "# changed\nSurvival\n0.9\n");
    ASSERT_EQ(BatchMain({"--repeat", dir / "out/point-002/run-002/manifest.json", "--out", dir / "again", "--quiet"}),
              0);
    EXPECT_EQ(ReadAll(dir / "again/RireVed1a1p1.txt"), ReadAll(dir / "out/point-002/run-002/RireVed1a1p1.txt"));

    for (const std::vector<std::string> &study : {std::vector<std::string>{"--design", design},
                                                  {"--points", "2"},
                                                  {"--slice", "1/2"},
                                                  {"--independent-seeds"}}) {
        std::vector<std::string> args = {"--repeat", dir / "out/point-001/run-001/manifest.json", "--out", dir / "no"};
        args.insert(args.end(), study.begin(), study.end());
        const ParsedCommandLine parsed = ParseCommandLine(args);
        ASSERT_FALSE(parsed.Problems.empty()) << study[0];
        EXPECT_EQ(parsed.Problems[0], "--repeat : " + study[0] +
                                          " ne s'emploie pas avec --repeat (le manifeste donne la simulation entière)");
        EXPECT_EQ(BatchMain(args), 2);
        EXPECT_FALSE(std::filesystem::exists(dir / "no"));
    }
}
