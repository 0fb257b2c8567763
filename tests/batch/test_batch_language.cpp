// The batch tool speaks the user's language: the same mistakes under a French and an
// English environment give the same lines, in French and in English.
#include <gtest/gtest.h>

#include <string_view>

#include <sys/wait.h>

#include "../common/TestFiles.h"
#include "TerminalText.h"

using namespace glebix::testing;

namespace {

struct Outcome {
    int status;
    std::string output;  // stdout and stderr together
};

// Runs glebix-batch in `dir` with only `variables` naming the language.
Outcome RunIn(const std::string &variables, const std::string &arguments, const ScratchDir &dir) {
    const std::string log = dir / "output.txt";
    const std::string line = "cd '" + dir.Path() + "' && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " +
                             variables + " " + GLEBIX_BATCH_PROGRAM + " " + arguments + " >'" + log + "' 2>&1";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(log)};
}

struct Case {
    const char *arguments;
    const char *french;            // a line, or a part of one, under LANG=fr_FR.UTF-8
    const char *english;           // the same under LANG=en_US.UTF-8
    std::string_view raster = {};  // the contents of bad.tif, written first when given
};

class BatchLanguage : public ::testing::TestWithParam<Case> {};

TEST_P(BatchLanguage, FrenchUnderAFrenchLocaleAndEnglishOtherwise) {
    const Case &c = GetParam();
    ScratchDir dir;
    if (!c.raster.empty()) WriteAll(dir / "bad.tif", std::string(c.raster));
    const Outcome french = RunIn("LANG=fr_FR.UTF-8", c.arguments, dir);
    const Outcome english = RunIn("LANG=en_US.UTF-8", c.arguments, dir);
    EXPECT_NE(french.output.find(c.french), std::string::npos) << french.output;
    EXPECT_NE(english.output.find(c.english), std::string::npos) << english.output;
    EXPECT_EQ(english.output.find(c.french), std::string::npos) << english.output;
    EXPECT_EQ(french.status, english.status);
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BatchLanguage,
    ::testing::Values(
        Case{"--seed abc",
             "glebix-batch : --seed : «abc» n'est pas un entier décimal non signé de 32 bits (de 0 à 4294967295)\n"
             "glebix-batch : pour l'aide, tapez glebix-batch --help\n",
             "glebix-batch: --seed: \"abc\" is not an unsigned 32-bit decimal integer (from 0 to 4294967295)\n"
             "glebix-batch: for help, type glebix-batch --help\n"},
        Case{"--set Survivl=0.4", "glebix-batch : --set : paramètre inconnu : «Survivl» ; voulez-vous dire Survival ?",
             "glebix-batch: --set: unknown setting: \"Survivl\"; did you mean Survival?"},
        Case{"--set EnvInitMode=0 --set EnvFilePath=absent.txt --validate",
             "glebix-batch : EnvFilePath « absent.txt » : Fichier introuvable",
             "glebix-batch: EnvFilePath \"absent.txt\": File not found"},
        Case{"--set EnvInitMode=2 --set EnvFilePath=m.txt --steps 0 --validate",
             "glebix-batch : attention : EnvFilePath « m.txt » est donné, mais EnvInitMode vaut 2",
             "glebix-batch: warning: EnvFilePath \"m.txt\" is given, but EnvInitMode is 2"},
        Case{"--help", "Utilisation : glebix-batch [options]\n", "Usage: glebix-batch [options]\n"},
        Case{"--help", "\nÀ la reprise (--resume), --set ne change que DispersalFirst, EnvDynamic et DecompactionD.\n",
             "\nOn resuming (--resume), --set changes only DispersalFirst, EnvDynamic and DecompactionD.\n"},
        Case{"--animate-style carte --animate-cell-size 4",
             "glebix-batch : --animate-style : «carte» n'est pas un style d'animation (window ou map)\n"
             "glebix-batch : --animate-cell-size ne vaut que pour le style map (--animate-style map)\n",
             "glebix-batch: --animate-style: \"carte\" is not an animation style (window or map)\n"
             "glebix-batch: --animate-cell-size applies to the map style only (--animate-style map)\n"},
        Case{"--set EnvInitMode=0 --set EnvFilePath=bad.tif --validate",
             "glebix-batch : EnvFilePath « bad.tif » : le fichier « bad.tif » n'est ni une grille ASCII ESRI",
             "glebix-batch: EnvFilePath \"bad.tif\": the file \"bad.tif\" is neither an ESRI ASCII grid",
             std::string_view("II*\0garbage", 11)}),
    [](const auto &info) { return std::to_string(info.index); });

// The first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set decides.
TEST(BatchLanguage, FirstSetVariableDecides) {
    ScratchDir dir;
    const std::string french = "valeur manquante", english = "value missing";
    EXPECT_NE(RunIn("LANG=C", "--seed", dir).output.find(english), std::string::npos);
    EXPECT_NE(RunIn("", "--seed", dir).output.find(english), std::string::npos);
    EXPECT_NE(RunIn("LANGUAGE=fr LANG=C", "--seed", dir).output.find(french), std::string::npos);
    EXPECT_NE(RunIn("LC_ALL=C LANG=fr_FR.UTF-8", "--seed", dir).output.find(english), std::string::npos);
    EXPECT_NE(RunIn("LC_MESSAGES=fr_FR.UTF-8 LANG=C", "--seed", dir).output.find(french), std::string::npos);
}

}  // namespace

// Under a locale of another encoding, the messages come in that encoding: the
// catalogue's characters converted, a path's own bytes (already in that encoding) kept,
// a character the encoding lacks transliterated. UTF-8 and the C locale are left as
// they are.
TEST(BatchLanguage, MessagesComeInTheTerminalsEncoding) {
    using glebix::batch::InCodeset;
    EXPECT_EQ(InCodeset("«été» → …", "ISO-8859-1"), "\xab\xe9t\xe9\xbb -> ...");
    EXPECT_EQ(InCodeset("«\xe9t\xe9.txt» : Fichier introuvable", "ISO-8859-1"),
              "\xab\xe9t\xe9.txt\xbb : Fichier introuvable");
    EXPECT_EQ(InCodeset("«été»", "UTF-8"), "«été»");
    EXPECT_EQ(InCodeset("«été»", "ANSI_X3.4-1968"), "«été»");
    EXPECT_EQ(InCodeset("«été»", "NO-SUCH-CODESET"), "«été»");

    ScratchDir dir;
    const std::string locales = dir / "locales";
    const std::string make = "mkdir -p '" + locales + "' && localedef -i fr_FR -f ISO-8859-1 '" + locales +
                             "/fr_FR.ISO-8859-1' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no ISO-8859-1 locale can be made here";
    const Outcome o = RunIn("LOCPATH='" + locales + "' LC_ALL=fr_FR.ISO-8859-1", "--steps x", dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.output.find("--steps : \xabx\xbb n'est pas un nombre entier sup\xe9rieur ou \xe9gal \xe0 0"),
              std::string::npos)
        << o.output;
}
