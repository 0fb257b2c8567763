#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>

#include "Conversions.h"
#include "Errors.h"
#include "InitialFiles.h"
#include "SettingsRegistry.h"
#include "Simul.h"
#include "TestSupport.h"

namespace glebix {
namespace {

using testing::ScratchDir;
using testing::SeedAfter;

std::string SetUpError(Simul &s) {
    try {
        s.SetUpRun(1);
    } catch (const GlebixError &e) { return e.what(); }
    return "";
}

// The message with its context, as the batch tool prints it.
std::string SetUpErrorWithContext(Simul &s) {
    try {
        s.SetUpRun(1);
    } catch (const GlebixError &e) { return MessageWithContext(e); }
    return "";
}

TEST(SetUpRun, DefaultsGiveARandomEnvironmentAndNineCentreCells) {
    Simul s;
    s.SetUpRun(123);
    EXPECT_EQ(s.RandomSeed, SeedAfter(123, 2500));  // one draw per cell for the environment
    EXPECT_EQ(s.Plot.CellSize, 1);
    EXPECT_EQ(s.Plot.NRows, 50);
    for (int i = 1; i <= 50; ++i)
        for (int j = 1; j <= 50; ++j) {
            const TCellEnv &env = s.Plot.Env[i - 1][j - 1];
            EXPECT_GE(env.Compacted, 23);
            EXPECT_LT(env.Compacted, 43);
            EXPECT_EQ(env.Decompacted, 100 - env.Compacted);
            const bool centre = i >= 24 && i <= 26 && j >= 24 && j <= 26;
            EXPECT_EQ(s.Plot.Density[i - 1][j - 1], centre ? 2 : 0);
        }
    EXPECT_EQ(s.ChartCellX, 8);
    EXPECT_EQ(s.Species.Survival, 0.4);
    EXPECT_EQ(s.Species.CompactionC, 0.301);
    EXPECT_EQ(s.Species.ResponseShape, 2);
}

TEST(SetUpRun, GeneratedModes) {
    Simul s;
    s.Settings.Initial.EnvInitMode = 2;
    s.Settings.Initial.EnvConstant = "120";
    s.Settings.Initial.DistInitMode = 3;
    s.SetUpRun(5);
    EXPECT_EQ(s.RandomSeed, 5u);  // nothing random was drawn
    for (int j = 0; j < 50; ++j) {
        EXPECT_EQ(s.Plot.Density[15][j], 2);  // row 16 filled
        EXPECT_EQ(s.Plot.Density[16][j], 0);  // row 17 empty
        EXPECT_EQ(s.Plot.Env[0][j].Compacted, 120);
        EXPECT_EQ(s.Plot.Env[0][j].Decompacted, -20);
    }

    s.Settings.Initial.EnvInitMode = 1;
    s.Settings.Initial.EnvMean = "5";
    s.Settings.Initial.DistInitMode = 1;
    s.Settings.Initial.DistMean = "5";
    s.SetUpRun(77);
    EXPECT_EQ(s.RandomSeed, SeedAfter(77, 5000));  // environment then count, per cell
    int zeros = 0;
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j) {
            zeros += s.Plot.Env[i][j].Compacted == 0;
            EXPECT_EQ(s.Plot.Env[i][j].Decompacted, 100 - s.Plot.Env[i][j].Compacted);
            EXPECT_GE(s.Plot.Density[i][j], 0);
            EXPECT_LE(s.Plot.Density[i][j], 25);
        }
    EXPECT_NEAR(zeros, 625, 100);  // a quarter of the cells

    s.Settings.Initial.DistInitMode = 2;
    s.Settings.Initial.DistConstant = "-3";
    s.SetUpRun(1);
    EXPECT_EQ(s.Plot.Density[49][49], -3);
}

TEST(SetUpRun, ChartCellIsBoundedIntoTheGridOrRefused) {
    Simul s;
    s.Settings.Run.ChartCellX = "";
    s.Settings.Run.ChartCellY = "99";
    s.SetUpRun(1);
    EXPECT_EQ(s.ChartCellX, 1);
    EXPECT_EQ(s.ChartCellY, 50);
    // The front ends that name settings refuse it, by the plot's size.
    s.RefuseChartCellOutside = true;
    s.Settings.Plot.Height = "99";
    EXPECT_NO_THROW(s.SetUpRun(1));
    s.Settings.Plot.Height = "98";
    try {
        s.SetUpRun(1);
        ADD_FAILURE() << "chart cell beyond the plot taken";
    } catch (const GlebixError &e) {
        EXPECT_EQ(e.Context().Setting, "ChartCellY");
        EXPECT_NE(std::string(e.what()).find("de 1 à 98"), std::string::npos) << e.what();
    }
}

TEST(InputFiles, TriplesSetTheirCellsInFileOrder) {
    ScratchDir dir;
    Simul s;
    s.Settings.Initial.EnvInitMode = 0;
    s.Settings.Initial.DistInitMode = 0;
    s.Settings.Initial.EnvFilePath = dir.File("env.txt", "1 1 150\n1 2\n-10\t2 2 33.5 2 2 40e0\r\n\x1a 9 9 9");
    s.Settings.Initial.DistFilePath = dir.File("dist.txt", "50 50 20000 3 4 -6\n  \n");
    s.SetUpRun(1);
    EXPECT_EQ(s.Plot.Env[0][0].Compacted, 150);
    EXPECT_EQ(s.Plot.Env[0][0].Decompacted, 0);
    EXPECT_EQ(s.Plot.Env[0][1].Compacted, -10);
    EXPECT_EQ(s.Plot.Env[0][1].Decompacted, 110);
    EXPECT_EQ(s.Plot.Env[1][1].Compacted, 40);  // the later triple holds
    EXPECT_EQ(s.Plot.Env[8][8].Compacted, -5);  // after code 26 nothing is read
    EXPECT_EQ(s.Plot.Env[8][8].Decompacted, 105);
    EXPECT_EQ(s.Plot.Density[49][49], 20000);
    EXPECT_EQ(s.Plot.Density[2][3], -6);
    EXPECT_EQ(s.Plot.Density[0][0], 0);
    EXPECT_EQ(s.RandomSeed, 1u);
}

struct FileErrorCase {
    const char *name;
    const char *contents;
    const char *message;  // empty: the message names the cell
};

TEST(InputFiles, BadContentsStopTheSetUp) {
    const FileErrorCase cases[] = {
        {"row with a point", "5.0 1 3", "Saisie numérique incorrecte"},
        {"count with a point", "1 1 7.5", "Saisie numérique incorrecte"},
        {"letters", "1 1 x", "Saisie numérique incorrecte"},
        {"ends inside a triple", "1 1 3 2 2", "Saisie numérique incorrecte"},
        {"token too long",
         "1 1 00000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "000000000000000000000000000000000000000000000000000000000001",
         "Saisie numérique incorrecte"},
        {"row out of range", "51 3 7", ""},
        {"column out of range", "3 0 7", ""},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        Simul s;
        s.Settings.Initial.DistInitMode = 0;
        s.Settings.Initial.DistFilePath = dir.File("d.txt", std::string("4 4 9 ") + c.contents);
        const std::string message = SetUpError(s);
        if (*c.message)
            EXPECT_EQ(message, c.message) << c.name;
        else
            EXPECT_EQ(message.rfind("Case hors de la parcelle : ", 0), 0u) << c.name << ": " << message;
        EXPECT_EQ(s.Plot.Density[3][3], 9) << c.name;  // cells read before the error keep their values
        EXPECT_EQ(s.Species.Survival, 0) << c.name;    // the species values were not taken
    }
    Simul env;
    env.Settings.Initial.EnvInitMode = 0;
    env.Settings.Initial.EnvFilePath = dir.File("e.txt", "1 1 33,5");
    EXPECT_EQ(SetUpError(env), "Saisie numérique incorrecte");
}

// A compacted share beyond the model's scale is refused where it lies; the largest
// within it steps without a fault, whatever C, the cell crowded or empty.
TEST(InputFiles, CompactedSharesBeyondTheScaleAreRefusedWhereTheyLie) {
    ScratchDir dir;
    const std::string max = FormatPlainDecimal(MaxCompactedShare);
    for (const std::string value : {"1e300", "-1e300", "1e14"}) {
        Simul s;
        s.Settings.Initial.EnvInitMode = 0;
        s.Settings.Initial.EnvFilePath = dir.File("e.txt", "1 1 40\n2 3 " + value + "\n");
        EXPECT_EQ(SetUpErrorWithContext(s), "EnvFilePath « " + dir.Sub("e.txt") + " », ligne 2, colonne 5 : « " +
                                                value + " » : " + CompactedShareRangeMessage().French());
    }
    EXPECT_NE(CompactedShareRangeMessage().French().find("de -" + max + " à " + max), std::string::npos);
    for (const char *c : {"0", "0.301"}) {
        Simul s;
        s.Settings.Species.CompactionC = c;
        s.Settings.Initial.EnvInitMode = 0;
        s.Settings.Initial.EnvFilePath = dir.File("e.txt", "1 1 " + max + "\n5 5 " + max + "\n");
        s.Settings.Initial.DistInitMode = 0;
        s.Settings.Initial.DistFilePath = dir.File("d.txt", "1 1 1000\n");
        s.SetUpRun(1);
        EXPECT_NO_THROW(for (int step = 0; step < 2; ++step) s.TimeStep()) << "C = " << c;
    }
}

// Each fault says where it lies: the setting, the file, and for its contents the line,
// the column (in characters) and the refused token; a cell outside the plot names the
// file's line so that it is not taken for a plot row.
TEST(InputFiles, ErrorsSayWhereTheyLie) {
    ScratchDir dir;
    struct Case {
        const char *setting, *contents, *where;
    } cases[] = {
        {"EnvFilePath", "1 1 20\n1 2 20\n1 3 20\n3 4   33,5\n",
         ", ligne 4, colonne 7 : « 33,5 » : Saisie numérique incorrecte"},
        {"EnvFilePath", "1 1 20\n1 1\t\xC3\xA9\xC3\xA9", ", ligne 2, colonne 5 : « éé » : Saisie numérique incorrecte"},
        {"EnvFilePath", "\xC3\xA9 1 1", ", ligne 1, colonne 1 : « \xC3\xA9 » : Saisie numérique incorrecte"},
        {"DistFilePath", "1 1 2\n\n  4 51 2",
         ", ligne du fichier 3 : « 51 » : Case hors de la parcelle : ligne 4, "
         "colonne 51 de la parcelle (chacune va de 1 à 50)"},
        {"DistFilePath", "1 1 2\n7 7", ", ligne 2, colonne 1 : « 7 » : Saisie numérique incorrecte"},
        {"DistFilePath", "1 1 1e3", ", ligne 1, colonne 5 : « 1e3 » : Saisie numérique incorrecte"},
    };
    for (const Case &c : cases) {
        Simul s;
        const bool env = std::string(c.setting) == "EnvFilePath";
        const std::string path = dir.File("f.txt", c.contents);
        (env ? s.Settings.Initial.EnvInitMode : s.Settings.Initial.DistInitMode) = 0;
        (env ? s.Settings.Initial.EnvFilePath : s.Settings.Initial.DistFilePath) = path;
        EXPECT_EQ(SetUpErrorWithContext(s), std::string(c.setting) + " « " + path + " »" + c.where) << c.contents;
    }
    Simul missing;
    missing.Settings.Initial.DistInitMode = 0;
    missing.Settings.Initial.DistFilePath = dir.Sub("none.txt");
    EXPECT_EQ(SetUpErrorWithContext(missing), "DistFilePath « " + dir.Sub("none.txt") + " » : Fichier introuvable");
    Simul setting;
    setting.Settings.Species.Fecundity = "1e999";
    EXPECT_EQ(SetUpErrorWithContext(setting), "Fecundity : « 1e999 » : Débordement en virgule flottante");
    setting.Settings.Species.Fecundity = "2";
    setting.Settings.Species.ResponseShape = 7;
    EXPECT_EQ(SetUpErrorWithContext(setting).rfind("ResponseShape : Forme de la réponse au milieu inconnue", 0), 0u);
}

TEST(InputFiles, OpeningFailuresByCause) {
    ScratchDir dir;
    const std::string regular = dir.File("plain.txt", "1 1 1");
    struct Case {
        std::string path;
        const char *message;
    } cases[] = {
        {dir.Sub("missing.txt"), "Fichier introuvable"},  {dir.Sub("no-such-dir/f.txt"), "Nom de fichier incorrect"},
        {regular + "/f.txt", "Nom de fichier incorrect"}, {"", "Nom de fichier incorrect"},
        {dir.Path(), "Accès au fichier refusé"},
    };
    for (const auto &c : cases) {
        Simul s;
        s.Settings.Initial.DistInitMode = 0;
        s.Settings.Initial.DistFilePath = c.path;
        EXPECT_EQ(SetUpError(s), c.message) << c.path;
    }
}

TEST(SetUpRun, AFailedSetUpKeepsThePreviousSpeciesValues) {
    Simul s;
    s.SetUpRun(1);
    s.Settings.Species.Survival = "0.9";
    s.Settings.Initial.DistInitMode = 0;  // no file named
    EXPECT_EQ(SetUpError(s), "Nom de fichier incorrect");
    EXPECT_EQ(s.Species.Survival, 0.4);
    s.Settings.Initial.DistInitMode = 4;
    s.Settings.Initial.EnvConstant = "1e400";  // read whatever the mode
    EXPECT_EQ(SetUpError(s), "Débordement en virgule flottante");
}

// Each value a run takes from the species settings comes from the setting of its name:
// set apart, every one comes back under that name, and a text setting that gives no
// finite real is refused by its own name.
TEST(SetUpRun, EachSpeciesValueIsTakenFromTheSettingOfItsName) {
    SpeciesSettings settings;
    settings.Survival = "0.11";
    settings.Fecundity = "2.2";
    settings.MortalityAlpha = "3.3";
    settings.CompactionC = "0.44";
    settings.DispersalSensitivity = "5";
    settings.DispersalSigma = "0.66";
    settings.ResponseShape = 1;
    settings.ResponseOptimum = 7.7;
    settings.ResponseTolerance = 8.8;
    const std::map<std::string, double> expected{
        {"Survival", 0.11},    {"Fecundity", 2.2},          {"MortalityAlpha", 3.3},
        {"CompactionC", 0.44}, {"DispersalSensitivity", 5}, {"DispersalSigma", 0.66},
        {"ResponseShape", 1},  {"ResponseOptimum", 7.7},    {"ResponseTolerance", 8.8}};
    std::set<std::string> seen;
    const RunSpecies taken = SpeciesTakenFrom(settings);
    VisitRunSpecies(taken, [&](std::string_view name, const auto &value) {
        EXPECT_EQ(static_cast<double>(value), expected.at(std::string(name))) << name;
        seen.insert(std::string(name));
    });
    EXPECT_EQ(seen.size(), expected.size());

    for (const std::string_view refused :
         {"Survival", "Fecundity", "MortalityAlpha", "CompactionC", "DispersalSigma"}) {
        SpeciesSettings bad;
        VisitSpeciesSettings(bad, [&](const SettingRow &row, auto &member) {
            if constexpr (std::is_same_v<std::decay_t<decltype(member)>, std::string>)
                if (row.name == refused) member = "1e400";
        });
        try {
            SpeciesTakenFrom(bad);
            ADD_FAILURE() << refused << " was taken";
        } catch (const GlebixError &e) { EXPECT_EQ(e.Context().Setting, refused); }
    }
}

}  // namespace
}  // namespace glebix
