// The warnings a study can raise, each from the condition that calls for it and not
// from its neighbours.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

#include "BatchOptions.h"
#include "SettingsTable.h"
#include "TestFiles.h"
#include "BatchWarnings.h"

using namespace glebix;
using namespace glebix::batch;

TEST(Warnings, SettingsThatAreIgnoredOrOutOfRange) {
    TSettings s;
    EXPECT_TRUE(SettingsWarnings(s).empty());
    s.Initial.DistFilePath = "d.txt";
    s.Initial.EnvFilePath = "e.txt";
    s.Initial.EnvInitMode = EnvModeFile;  // read: no warning for it
    auto w = SettingsWarnings(s);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0],
              "DistFilePath « d.txt » est donné, mais DistInitMode vaut 4 : le fichier n'est pas lu (il ne l'est "
              "qu'avec DistInitMode=0)");
    s.Initial.DistInitMode = DistModeFile;
    s.Initial.EnvInitMode = EnvModeHomogeneous;
    w = SettingsWarnings(s);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].rfind("EnvFilePath « e.txt » est donné, mais EnvInitMode vaut 2", 0), 0u);

    TSettings t;
    for (const char *fine : {"0", "1", "0.5", "1e-3"}) {
        t.Species.Survival = fine;
        EXPECT_TRUE(SettingsWarnings(t).empty()) << fine;
    }
    for (const char *outside : {"1.5", "-0.1", "1e300"}) {
        t.Species.Survival = outside;
        w = SettingsWarnings(t);
        ASSERT_EQ(w.size(), 1u) << outside;
        EXPECT_EQ(w[0], std::string("Survival vaut ") + outside +
                            ", hors de [0, 1] : ce n'est pas une probabilité "
                            "de survie");
    }
}

TEST(Warnings, InitialFilesCountTheCellsConcerned) {
    auto plot = std::make_unique<TPlot>();
    for (auto &&row : plot->Env)
        for (auto &cell : row) cell.Compacted = 20;
    EXPECT_TRUE(EnvironmentFileWarnings(*plot, "m.txt").empty());
    plot->Env[0][0].Compacted = std::nan("");
    plot->Env[49][49].Compacted = std::nan("");
    const auto w = EnvironmentFileWarnings(*plot, "m.txt");
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].rfind("le fichier du milieu initial « m.txt » ne nomme pas 2 cases sur 2500 : ", 0), 0u);

    EXPECT_TRUE(DistributionFileWarnings(*plot, "d.txt").empty());
    plot->Density[3][4] = -1;
    EXPECT_EQ(DistributionFileWarnings(*plot, "d.txt"),
              std::vector<std::string>{"le fichier de distribution « d.txt » donne un effectif négatif à 1 case"});
}

TEST(Warnings, SpeciesValuesThatTheDialogRounds) {
    EXPECT_FALSE(SpeciesRoundingWarning("s.txt", "Survival", 0.4, "0.4"));
    EXPECT_FALSE(SpeciesRoundingWarning("s.txt", "Fecundity", 2, "2.0"));
    EXPECT_EQ(SpeciesRoundingWarning("s.txt", "Survival", 0.123, "0.1"),
              "fichier de l'espèce « s.txt » : Survival 0.123 devient 0.1 dans la forme à une décimale du dialogue de "
              "l'espèce, et la simulation prend 0.1 ; --set Survival=0.123 donne la valeur exacte");
}

TEST(Warnings, NothingKeptOnlyWhenNoOptionKeepsAnything) {
    const std::vector<std::string> study = {"--seed", "1", "--steps", "1", "--replicates", "2"};
    auto warned = [](const std::vector<std::string> &args) {
        const ParsedCommandLine parsed = ParseCommandLine(args);
        EXPECT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
        const std::vector<std::string> all = CollectWarnings(parsed.Options).All();
        return std::find(all.begin(), all.end(), NothingKeptWarning()) != all.end();
    };
    EXPECT_TRUE(warned(study));
    const std::vector<std::vector<std::string>> keeping = {{"--out", "o"},
                                                           {"--table", "t.csv"},
                                                           {"--trace", "t.csv"},
                                                           {"--snapshots", "s"},
                                                           {"--asc", "a"},
                                                           {"--animate", "a.gif"},
                                                           {"--save-state", "s.txt"},
                                                           {"--checkpoint", "c.txt", "--checkpoint-every", "1"}};
    for (const auto &output : keeping) {
        std::vector<std::string> args = study;
        args.insert(args.end(), output.begin(), output.end());
        EXPECT_FALSE(warned(args)) << output[0];
        // The warning names every option that would have kept something.
        EXPECT_NE(NothingKeptWarning().find(output[0]), std::string::npos) << output[0];
    }
}

namespace {

std::string Grid(const std::string &corner, const char *value) {
    std::string text = "ncols 50\nnrows 50\n" + corner + "\ncellsize 1\n";
    for (int line = 0; line < 50; ++line) {
        for (int k = 0; k < 50; ++k) text += std::string(k ? " " : "") + value;
        text += '\n';
    }
    return text;
}

}  // namespace

// Two grids placed apart are laid on one another all the same: said, with the
// placement the written grids take.
TEST(Warnings, InitialGridsPlacedApart) {
    glebix::testing::ScratchDir dir;
    const std::string env = dir.File("env.asc", Grid("xllcorner 0\nyllcorner 0", "20"));
    dir.File("same.asc", Grid("yllcorner 0\nxllcorner 0", "3"));
    const std::string moved = dir.File("moved.asc", Grid("xllcenter 100.5\nyllcorner 0", "3"));
    dir.File("cells.txt", "1 1 3\n");
    const std::string apart =
        "les grilles EnvFilePath « " + env + " » (xllcorner 0, yllcorner 0, cellsize 1) et DistFilePath « " + moved +
        " » (xllcorner 100, yllcorner 0, cellsize 1) ne sont pas au même endroit : la simulation les superpose case "
        "à case, et les grilles écrites (--asc) prennent le placement de EnvFilePath « " +
        env + " »";
    const struct {
        const char *distribution;
        bool warned;
    } cases[] = {{"moved.asc", true}, {"same.asc", false}, {"cells.txt", false}};
    for (const auto &c : cases) {
        auto parsed = ParseCommandLine({"--set", "EnvInitMode=0", "--set", "EnvFilePath=" + env, "--set",
                                        "DistInitMode=0", "--set", "DistFilePath=" + (dir / c.distribution)});
        ASSERT_TRUE(parsed.Problems.empty());
        const auto all = CollectWarnings(parsed.Options).All();
        EXPECT_EQ(std::count(all.begin(), all.end(), apart), c.warned ? 1 : 0) << c.distribution;
        EXPECT_EQ(all.size(), c.warned ? 1u : 0u) << c.distribution;
    }
}
