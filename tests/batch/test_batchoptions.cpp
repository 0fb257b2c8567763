// The command line.
#include <gtest/gtest.h>

#include "BatchOptions.h"
#include "TestFiles.h"
#include "SettingsTable.h"

using namespace glebix;
using namespace glebix::batch;

namespace {
ParsedCommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }
}  // namespace

TEST(BatchOptions, Defaults) {
    const auto p = Parse({});
    EXPECT_TRUE(p.Problems.empty());
    EXPECT_EQ(p.Options.Settings.Run.StepCount, "300");
    EXPECT_FALSE(p.Options.Seed);
    EXPECT_EQ(p.Options.Every, 10);
    EXPECT_EQ(p.Options.Replicates, 1);
    EXPECT_FALSE(p.Options.ReplicateLayout);
    EXPECT_EQ(p.Options.Jobs, 0);
    EXPECT_TRUE(p.Options.Outputs.empty());
}

TEST(BatchOptions, EveryOptionInBothForms) {
    const auto p = Parse({"--steps", "12", "--seed=4294967295", "--out", "o", "--trace=t.csv", "--snapshots", "s",
                          "--every", "3", "--asc=a", "--replicates", "1", "--jobs", "2", "--quiet", "--validate"});
    ASSERT_TRUE(p.Problems.empty()) << p.Problems.front();
    const BatchOptions &o = p.Options;
    EXPECT_EQ(o.Settings.Run.StepCount, "12");
    EXPECT_EQ(o.Seed, 4294967295u);
    EXPECT_EQ(o.Outputs,
              (decltype(o.Outputs){{"--out", "o"}, {"--trace", "t.csv"}, {"--snapshots", "s"}, {"--asc", "a"}}));
    EXPECT_EQ(o.Every, 3);
    EXPECT_EQ(o.Replicates, 1);
    EXPECT_TRUE(o.ReplicateLayout);
    EXPECT_EQ(o.Jobs, 2);
    EXPECT_TRUE(o.Quiet && o.Validate);
}

TEST(BatchOptions, RefusalsAreAllCollected) {
    const auto p =
        Parse({"--steps",   "-1",     "--seed",   "12a",          "--every",      "0",           "--replicates",
               "0",         "--jobs", "x",        "--frobnicate", "stray",        "--quiet=yes", "--out",
               "",          "--set",  "Survival", "--set",        "Survival=0,4", "--set",       "Nope=1",
               "--species", "",       "--step=3", "--trace"});
    const std::vector<std::string> expected = {
        "--steps : «-1» n'est pas un nombre entier supérieur ou égal à 0",
        "--seed : «12a» n'est pas un entier décimal non signé de 32 bits (de 0 à 4294967295)",
        "--every : «0» n'est pas un nombre entier supérieur ou égal à 1",
        "--replicates : «0» n'est pas un nombre entier supérieur ou égal à 1",
        "--jobs : «x» n'est pas un nombre entier supérieur ou égal à 1",
        "option inconnue : --frobnicate",
        "argument inattendu : «stray»",
        "--quiet : cette option ne prend pas de valeur",
        "--out : le chemin est vide",
        "--species : le chemin est vide",
        "option inconnue : --step ; voulez-vous dire --steps ?",
        "--trace : valeur manquante",
        "--set : «Survival» n'est pas de la forme NAME=VALUE",
        "--set : paramètre Survival : «0,4» n'est pas un nombre décimal (avec un point, comme 0.4)",
        "--set : paramètre inconnu : «Nope»"};
    EXPECT_EQ(p.Problems, expected);
}

TEST(BatchOptions, TooManyReplicatesIsRefused) {
    const auto p = Parse({"--replicates", "1000001"});
    ASSERT_EQ(p.Problems.size(), 1u);
    EXPECT_EQ(p.Problems[0], "--replicates : au plus 1000000 simulations par appel");
}

// The help names every option and setting exactly as scripts write them.
TEST(BatchOptions, HelpIsFrenchAndNamesEveryOptionAndSetting) {
    const std::string help = UsageText();
    EXPECT_EQ(help.rfind("Utilisation : glebix-batch [options]\n", 0), 0u) << help;
    for (const char *option : {"--steps N", "--seed S", "--set NAME=VALUE", "--params FILE", "--species FILE",
                               "--out DIR", "--trace FILE", "--snapshots DIR", "--every K", "--asc DIR",
                               "--replicates R", "--jobs J", "--validate", "--quiet", "--help, --version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    for (const std::string &name : SettingNames()) EXPECT_NE(help.find(name), std::string::npos) << name;
    EXPECT_NE(help.find("Code de sortie : 0"), std::string::npos);
}

TEST(BatchOptions, SpeciesThenParamsThenSetLaterWinning) {
    glebix::testing::ScratchDir dir;
    glebix::testing::WriteAll(dir / "species.txt", "0.7 3 1 0.5 2 0.2 0 0.9 1 1.25\n");
    glebix::testing::WriteAll(dir / "a.txt", "Survival=0.6\nDispersalSigma=2\nEnvMean=10\n");
    glebix::testing::WriteAll(dir / "b.txt", "EnvMean=11\n");
    const auto p = Parse({"--set", "EnvMean=12", "--params", dir / "a.txt", "--species", dir / "species.txt",
                          "--params", dir / "b.txt", "--set", "Fecundity=4", "--set", "Fecundity=5"});
    ASSERT_TRUE(p.Problems.empty()) << p.Problems.front();
    const SpeciesSettings &sp = p.Options.Settings.Species;
    EXPECT_EQ(sp.Survival, "0.6");      // params over species file
    EXPECT_EQ(sp.Fecundity, "5");       // last --set
    EXPECT_EQ(sp.DispersalSigma, "2");  // params
    EXPECT_EQ(sp.ResponseShape, 1);     // species file
    EXPECT_EQ(sp.ResponseOptimum, 0.5);
    EXPECT_EQ(sp.ResponseTolerance, 2);
    EXPECT_EQ(sp.MortalityAlpha, " 9.00000000000000E-0001");
    EXPECT_EQ(p.Options.Settings.Initial.EnvMean, "12");  // --set over both params files
    ASSERT_EQ(p.Options.Inputs.size(), 3u);
    EXPECT_EQ(p.Options.Inputs[0].Role, "species");
    EXPECT_EQ(p.Options.Inputs[1].Path, dir / "a.txt");
}

TEST(BatchOptions, BadSpeciesFileIsAProblemWithTheFrenchMessage) {
    glebix::testing::ScratchDir dir;
    glebix::testing::WriteAll(dir / "species.txt", "0.4 2 2.0\n");
    auto p = Parse({"--species", dir / "species.txt"});
    ASSERT_EQ(p.Problems.size(), 1u);
    EXPECT_EQ(p.Problems[0], "--species « " + (dir / "species.txt") +
                                 " », ligne 1, colonne 7 : « 2.0 » : Saisie numérique incorrecte");
    p = Parse({"--species", dir / "missing.txt"});
    ASSERT_EQ(p.Problems.size(), 1u);
    EXPECT_EQ(p.Problems[0], "--species « " + (dir / "missing.txt") + " » : Fichier introuvable");
}
