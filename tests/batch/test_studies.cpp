// Whole studies through the program: the table's promises (byte-identical for any
// --jobs, slices that put end to end give the full table, the same runs as without a
// design), the folders and the summary by point, warnings, and errors with their place.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "BatchMain.h"
#include "SeedMixing.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::batch;
using namespace glebix::core;
using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;
namespace fs = std::filesystem;

namespace {

// Runs the program in `folder` with its standard error into `output`; the exit status.
int RunIn(const std::string &folder, const std::string &arguments, const std::string &output = "/dev/null") {
    const std::string command =
        "cd '" + folder + "' && " + GLEBIX_BATCH_PROGRAM + " --quiet " + arguments + " >" + output + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The table without its header.
std::string Body(const std::string &table) { return table.substr(table.find('\n') + 1); }

// The rows of `table` whose first field is one of `points`.
std::string RowsOf(const std::string &table, const std::vector<int> &points) {
    std::string out;
    std::size_t start = table.find('\n') + 1;
    for (std::size_t end; (end = table.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string row = table.substr(start, end - start + 1);
        if (std::count(points.begin(), points.end(), std::stoi(row.substr(0, row.find(','))))) out += row;
    }
    return out;
}

const char *const Design =
    "# seven points\r\n"
    "Survival,DistInitMode,DistMean\r\n"
    "0.30,1,5\r\n"
    "0.35,1,\r\n"
    "0.40,4,\r\n"
    "0.45,1,8\r\n"
    ",1,2\r\n"
    "0.55,1,5\r\n"
    "0.6,4,5\r\n";

}  // namespace

TEST(Studies, TheTableIsTheSameForAnyJobsAndSlicesPutEndToEndGiveIt) {
    ScratchDir dir;
    dir.File("plan.csv", Design);
    const std::string common = "--design plan.csv --replicates 2 --seed 11 --steps 4 ";
    ASSERT_EQ(RunIn(dir.Path(), common + "--jobs 1 --table one.csv"), 0);
    ASSERT_EQ(RunIn(dir.Path(), common + "--jobs 3 --table three.csv"), 0);
    const std::string full = ReadAll(dir / "one.csv");
    EXPECT_EQ(full, ReadAll(dir / "three.csv"));
    // 7 points of 2 runs, each with its rows of steps 0 to 4.
    EXPECT_EQ(std::count(full.begin(), full.end(), '\n'), 1 + 7 * 2 * 5);
    EXPECT_EQ(full.rfind("point,replicate,seed,Survival,DistInitMode,DistMean,step,", 0), 0u);

    std::string joined;
    for (int slice = 1; slice <= 3; ++slice) {
        const std::string name = "slice-" + std::to_string(slice) + ".csv";
        ASSERT_EQ(RunIn(dir.Path(), common + "--jobs 2 --slice " + std::to_string(slice) + "/3 --table " + name), 0);
        const std::string part = ReadAll(dir / name);
        joined += slice == 1 ? part : Body(part);
    }
    EXPECT_EQ(joined, full);
    ASSERT_EQ(RunIn(dir.Path(), common + "--points 2,5-6 --table some.csv"), 0);
    EXPECT_EQ(Body(ReadAll(dir / "some.csv")), RowsOf(full, {2, 5, 6}));
    EXPECT_FALSE(fs::exists(dir / "one.csv.part"));
}

TEST(Studies, ARowOfTheTableIsTheRunThatTheSameSettingsAndSeedGive) {
    ScratchDir dir;
    dir.File("plan.csv", Design);
    // Point 4 is Survival 0.45 with a random distribution of mean 8.
    ASSERT_EQ(RunIn(dir.Path(), "--design plan.csv --replicates 3 --seed 11 --steps 5 --table common.csv"), 0);
    ASSERT_EQ(RunIn(dir.Path(),
                    "--design plan.csv --replicates 3 --seed 11 --steps 5 --table own.csv "
                    "--independent-seeds --points 4"),
              0);
    ASSERT_EQ(RunIn(dir.Path(),
                    "--replicates 3 --seed 11 --steps 5 --set Survival=0.45 --set DistInitMode=1 "
                    "--set DistMean=8 --trace alone/t.csv"),
              0);
    const std::string trace = ReadAll(dir / "alone/run-003/t.csv");
    const std::string prefix = "4,3," + std::to_string(ReplicateSeed(11, 3)) + ",0.45,1,8,";
    const std::string table = ReadAll(dir / "common.csv");
    std::string expected;
    for (std::size_t start = trace.find('\n') + 1, end; (end = trace.find('\n', start)) != std::string::npos;
         start = end + 1)
        expected += prefix + trace.substr(start, end - start + 1);
    const std::size_t first = table.find(prefix + "1,");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(table.substr(first, expected.size()), expected);
    EXPECT_NE(table.find(prefix + "0,"), std::string::npos);  // the state after set-up

    // Independent seeds: run (4 - 1) * 3 + 3 of the whole design.
    const std::string own = ReadAll(dir / "own.csv");
    EXPECT_NE(own.find("\n4,3," + std::to_string(ReplicateSeed(11, 12)) + ",0.45,1,8,0,"), std::string::npos);
    EXPECT_NE(own.find("\n4,1," + std::to_string(ReplicateSeed(11, 10)) + ","), std::string::npos);
}

TEST(Studies, FoldersByPointAndOneSummaryLedByTheDesign) {
    ScratchDir dir;
    dir.File("plan.csv", "EnvDynamic,Survival\noff,0.3\non,0.4\n");
    ASSERT_EQ(RunIn(dir.Path(), "--design plan.csv --replicates 2 --seed 3 --steps 3 --out out"), 0);
    for (const char *run : {"point-001/run-001", "point-001/run-002", "point-002/run-001", "point-002/run-002"})
        EXPECT_TRUE(fs::exists(dir / ("out/" + std::string(run) + "/manifest.json"))) << run;
    const std::string summary = ReadAll(dir / "out/summary.csv");
    EXPECT_EQ(summary.rfind("point,EnvDynamic,Survival,step,runs,total_density_mean,", 0), 0u);
    EXPECT_NE(summary.find("\n1,off,0.3,3,2,"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\n2,on,0.4,1,2,"), std::string::npos) << summary;
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 1 + 2 * 3);

    const std::string manifest = ReadAll(dir / "out/point-002/run-001/manifest.json");
    for (const char *part : {"\"point\": 2", "\"run\": 1", "\"EnvDynamic\": \"on\"", "\"role\": \"design\"",
                             "\"result_file\": \"out/point-002/run-001/RireVed1a1p1.txt\"", "\"warnings\": [",
                             "\"working_directory\": \""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    EXPECT_NE(manifest.find("\"absolute_path\": \"" + (dir / "plan.csv") + "\""), std::string::npos) << manifest;

    // Without steps no result file is written, and the manifest lists none.
    ASSERT_EQ(RunIn(dir.Path(), "--steps 0 --seed 3 --out zero"), 0);
    EXPECT_NE(ReadAll(dir / "zero/manifest.json").find("\"result_file\": null"), std::string::npos);
}

TEST(Studies, ABadDesignIsReportedLineByLineAndNothingRuns) {
    ScratchDir dir;
    dir.File("plan.csv", "Survival,DistMean\n0.3,4\n0,3,4\n0.4,2.5\n");
    const std::string out = dir / "stderr.txt";
    EXPECT_EQ(RunIn(dir.Path(), "--design plan.csv --table t.csv --out o", out), 2);
    EXPECT_EQ(ReadAll(out),
              "glebix-batch : plan.csv:3: 3 champs au lieu de 2 (un par colonne de l'en-tête)\n"
              "glebix-batch : plan.csv:4: colonne DistMean : «2.5» n'est pas un nombre entier de -2147483648 à "
              "2147483647\n"
              "glebix-batch : pour l'aide, tapez glebix-batch --help\n");
    EXPECT_FALSE(fs::exists(dir / "t.csv"));
    EXPECT_FALSE(fs::exists(dir / "o"));
    dir.File("good.csv", "Survival\n0.3\n0.4\n");
    EXPECT_EQ(RunIn(dir.Path(), "--design good.csv --points 3 --table t.csv", out), 2);
    EXPECT_EQ(ReadAll(out),
              "glebix-batch : --points : le point 3 n'existe pas (le plan en compte 2)\n"
              "glebix-batch : pour l'aide, tapez glebix-batch --help\n");
    EXPECT_EQ(RunIn(dir.Path(), "--design missing.csv", out), 2);
    EXPECT_EQ(ReadAll(out).rfind("glebix-batch : --design « missing.csv » : Fichier introuvable\n", 0), 0u);
}

// The plot each point asks for is checked before anything runs: a chart cell beyond
// the plot's size, or a size that contradicts the grid input, is a usage error that
// leaves no output behind, whichever point asks for it.
TEST(Studies, APlotThatCannotBeIsRefusedBeforeAnyRun) {
    ScratchDir dir;
    std::string grid = "ncols 30\nnrows 20\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int line = 0; line < 20; ++line) grid += std::string(30 * 2 - 1, ' ').replace(0, 1, "1") + "\n";
    for (std::size_t at = 0; (at = grid.find("  ", at)) != std::string::npos;) grid.replace(at, 2, " 1");
    dir.File("g.asc", grid);
    dir.File("plan.csv", "ChartCellY\n18\n25\n");
    const std::string out = dir / "stderr.txt";
    const std::string grid_input = "--set EnvInitMode=0 --set EnvFilePath=g.asc --seed 2 --steps 2 --quiet ";
    struct Case {
        std::string arguments;
        std::string says;
    };
    for (const Case &c : {Case{"--set PlotWidth=20 --set ChartCellX=30 --steps 2", "ChartCellX : "},
                          Case{grid_input + "--set PlotWidth=10", "30 colonnes et 20 lignes"},
                          Case{grid_input + "--design plan.csv --replicates 2", "point 2 : ChartCellY : "}}) {
        EXPECT_EQ(RunIn(dir.Path(), c.arguments + " --out o --trace t.csv --table s.csv", out), 2) << c.arguments;
        const std::string said = ReadAll(out);
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_NE(said.find("pour l'aide"), std::string::npos) << said;
        for (const char *written : {"o", "t.csv", "s.csv"}) EXPECT_FALSE(fs::exists(dir / written)) << c.arguments;
    }
    // The same grid with a chart cell inside it runs.
    EXPECT_EQ(RunIn(dir.Path(), grid_input + "--set ChartCellY=18 --out o", out), 0) << ReadAll(out);
}

TEST(Studies, WarningsArePrintedRecordedListedAndRefusedUnderStrict) {
    ScratchDir dir;
    dir.File("milieu.txt", "1 1 20\n1 2 20\n2 1 20\n");  // names 3 cells of 2500
    dir.File("espece.txt", "0.123 2 2 0 0 0.301 0 1 0 0.5\n");
    dir.File("plan.csv", "Survival\n0.4\n1.5\n");
    dir.File("d.txt", "1 1 -3\n");
    const std::string args =
        "--species espece.txt --set EnvInitMode=0 --set EnvFilePath=milieu.txt "
        "--set DistFilePath=d.txt --design plan.csv --steps 1 --seed 1 ";
    const std::string out = dir / "stderr.txt";
    EXPECT_EQ(RunIn(dir.Path(), args + "--validate", out), 0);
    const std::string expected =
        "glebix-batch : attention : DistFilePath « d.txt » est donné, mais DistInitMode vaut 4 : le fichier n'est pas "
        "lu (il ne l'est qu'avec DistInitMode=0)\n"
        "glebix-batch : attention : le fichier du milieu initial « milieu.txt » ne nomme pas 2497 cases sur 2500 : "
        "elles commencent avec un taux de compaction de -5 %, ce qui tue leur faune dès le premier pas de temps\n"
        "glebix-batch : attention : --replicates ou --design sans aucune sortie (--out, --table, --trace, --snapshots, "
        "--asc, --tif, --netcdf, --animate, --save-state ou --checkpoint) : rien des simulations ne sera gardé\n"
        "glebix-batch : attention : point 2 : Survival vaut 1.5, hors de [0, 1] : ce n'est pas une probabilité de "
        "survie\n";
    // The species file's 0.123 is taken over by the design's column: no rounding warning.
    EXPECT_EQ(ReadAll(out), expected + "glebix-batch : aucun problème trouvé\n");
    EXPECT_EQ(RunIn(dir.Path(), args + "--validate --strict", out), 2);
    EXPECT_EQ(ReadAll(out), expected + "glebix-batch : --strict : chaque avertissement est une erreur d'utilisation\n");
    EXPECT_EQ(RunIn(dir.Path(), args + "--strict --out o", out), 2);
    EXPECT_FALSE(fs::exists(dir / "o"));

    EXPECT_EQ(RunIn(dir.Path(),
                    "--species espece.txt --steps 1 --seed 1 --set DistInitMode=0 --set DistFilePath=d.txt "
                    "--out o",
                    out),
              0);
    const std::string rounding =
        "fichier de l'espèce « espece.txt » : Survival 0.123 devient 0.1 dans la forme à une décimale du dialogue de "
        "l'espèce, et la simulation prend 0.1 ; --set Survival=0.123 donne la valeur exacte";
    const std::string negative = "le fichier de distribution « d.txt » donne un effectif négatif à 1 case";
    EXPECT_EQ(ReadAll(out),
              "glebix-batch : attention : " + rounding + "\nglebix-batch : attention : " + negative + "\n");
    const std::string manifest = ReadAll(dir / "o/manifest.json");
    EXPECT_NE(manifest.find("\"warnings\": [\n        \"" + rounding + "\",\n        \"" + negative + "\"\n    ]"),
              std::string::npos)
        << manifest;
}

TEST(Studies, ARunErrorSaysWhichRunAndWhereInTheFile) {
    ScratchDir dir;
    dir.File("milieu.txt", "1 1 20\n1 2 20\n1 3 20\n3 4   33,5\n");
    dir.File("plan.csv", "EnvInitMode,EnvFilePath\n1,\n1,\n0,milieu.txt\n");
    const std::string out = dir / "stderr.txt";
    EXPECT_EQ(RunIn(dir.Path(), "--design plan.csv --seed 1 --steps 2 --table t.csv", out), 1);
    EXPECT_EQ(ReadAll(out),
              "glebix-batch : point 3, simulation 1 : EnvFilePath « milieu.txt », ligne 4, colonne 7 : « 33,5 » : "
              "Saisie numérique incorrecte\n");
    // --validate finds it first, naming the point.
    EXPECT_EQ(RunIn(dir.Path(), "--design plan.csv --seed 1 --steps 2 --table t.csv --validate", out), 2);
    EXPECT_EQ(ReadAll(out),
              "glebix-batch : point 3 : EnvFilePath « milieu.txt », ligne 4, colonne 7 : « 33,5 » : "
              "Saisie numérique incorrecte\n");
    // The failed run has no rows; the others are all there.
    const std::string table = ReadAll(dir / "t.csv");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 1 + 2 * 3);
    EXPECT_EQ(
        RunIn(dir.Path(), "--replicates 3 --seed 1 --steps 2 --set EnvInitMode=0 --set EnvFilePath=milieu.txt", out),
        1);
    EXPECT_NE(ReadAll(out).find("glebix-batch : simulation 3 : EnvFilePath « milieu.txt », ligne 4, colonne 7 : "
                                "« 33,5 » : Saisie numérique incorrecte\n"),
              std::string::npos);
}

// A place used again holds the new study's runs only, once they have all completed;
// what the layout does not name, and other invocations' points, stay.
TEST(Studies, AReusedPlaceLosesTheEarlierStudysOtherRunFolders) {
    ScratchDir dir;
    dir.File("plan.csv", "Survival\n0.3\n0.4\n0.5\n");
    dir.File("milieu.txt", "1 1 33,5\n");
    auto folders = [&dir](const std::string &sub) {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir / ("out/" + sub))) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::string common = "--seed 1 --steps 1 --out out --trace out/t.csv ";
    ASSERT_EQ(RunIn(dir.Path(), common + "--design plan.csv --replicates 2"), 0);
    for (const char *mine : {"out/notes/", "out/run-01/"}) fs::create_directories(dir / mine);
    dir.File("out/run-009", "");
    ASSERT_EQ(RunIn(dir.Path(), common + "--design plan.csv --replicates 1 --points 2"), 0);
    EXPECT_EQ(folders("point-002"), std::vector<std::string>{"run-001"});
    EXPECT_EQ(folders("point-003"), (std::vector<std::string>{"run-001", "run-002"}));
    // A failed study keeps the earlier one whole.
    EXPECT_EQ(RunIn(dir.Path(), common + "--replicates 2 --set EnvInitMode=0 --set EnvFilePath=milieu.txt"), 1);
    EXPECT_TRUE(fs::exists(dir / "out/point-001/run-002/manifest.json"));
    ASSERT_EQ(RunIn(dir.Path(), common + "--replicates 2"), 0);
    EXPECT_EQ(folders(""),
              (std::vector<std::string>{"notes", "run-001", "run-002", "run-009", "run-01", "summary.csv"}));
}
