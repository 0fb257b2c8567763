// Design files as R, pandas and spreadsheets write them, and every way one can be wrong.
#include <gtest/gtest.h>

#include "DesignFile.h"
#include "SettingsTable.h"
#include "StudyTable.h"

using namespace glebix;
using namespace glebix::core;

TEST(DesignFile, ReadsTheFormsThatToolsWrite) {
    const ParsedDesign p = ParseDesignText(
        "\xEF\xBB\xBF# Survival sweep, made in R\r\n"
        "\"Survival\",\"DistFilePath\", EnvDynamic\r\n"
        "\r\n"
        "0.3,\"counts, june.txt\",off\r\n"
        "  # a point left out\r\n"
        "0.35 , \"say \"\"hi\"\".txt\" ,\r\n"
        ",,on",  // no final line end
        "plan.csv");
    ASSERT_TRUE(p.Problems.empty()) << p.Problems.front();
    EXPECT_EQ(p.Result.Columns, (std::vector<std::string>{"Survival", "DistFilePath", "EnvDynamic"}));
    ASSERT_EQ(p.Result.PointCount(), 3u);
    EXPECT_EQ(p.Result.Line(1), 4);
    EXPECT_EQ(p.Result.Line(2), 6);
    EXPECT_EQ(p.Result.Line(3), 7);
    EXPECT_EQ(p.Result.Value(1, 1), "counts, june.txt");
    EXPECT_EQ(p.Result.Value(2, 1), "say \"hi\".txt");
    EXPECT_TRUE(p.Result.Value(2, 2).empty());

    // The point's row comes last and an empty field keeps what the point would have.
    TSettings s;
    ASSERT_FALSE(ApplySetting("Survival", "0.9", s));
    ApplyDesignPoint(p.Result, 3, s);
    EXPECT_EQ(s.Species.Survival, "0.9");
    EXPECT_TRUE(s.Run.EnvDynamic);
    ApplyDesignPoint(p.Result, 2, s);
    EXPECT_EQ(s.Species.Survival, "0.35");
    EXPECT_EQ(DesignValues(p.Result, s), (std::vector<std::string>{"0.35", "say \"hi\".txt", "on"}));
}

TEST(DesignFile, EveryProblemNamesItsLineAndColumn) {
    const ParsedDesign p = ParseDesignText(
        "Survival,DistMean\n"
        "0,4,5\n"
        "0.4,2.5\n"
        "0.4,3,\n"
        "\"0.4,3\n"
        "0.4,3\"x\"\n"
        "0.5,\"3\" 4\n"
        "abc,\n",
        "plan.csv");
    ASSERT_EQ(p.Problems.size(), 7u);
    EXPECT_EQ(p.Problems[0], "plan.csv:2: 3 champs au lieu de 2 (un par colonne de l'en-tête)");
    EXPECT_EQ(p.Problems[1],
              "plan.csv:3: colonne DistMean : «2.5» n'est pas un nombre entier de -2147483648 à 2147483647");
    EXPECT_EQ(p.Problems[2].rfind("plan.csv:4: 3 champs", 0), 0u);
    EXPECT_EQ(p.Problems[3].rfind("plan.csv:5: guillemet non fermé", 0), 0u);
    EXPECT_EQ(p.Problems[4].rfind("plan.csv:6: guillemet au milieu du champ 2", 0), 0u);
    EXPECT_EQ(p.Problems[5].rfind("plan.csv:7: texte après le guillemet fermant du champ 2", 0), 0u);
    EXPECT_EQ(p.Problems[6],
              "plan.csv:8: colonne Survival : «abc» n'est pas un nombre décimal (avec un point, comme 0.4)");
}

TEST(DesignFile, AHeaderThatCannotBeUsedStopsTheReading) {
    struct Case {
        const char *text;
        const char *problem;
    };
    const Case cases[] = {
        {"\"\",\"Survival\"\n\"1\",0.3\n",
         "plan.csv:1: colonne 1 : colonne sans nom (des numéros de ligne ? en R, écrivez le fichier avec "
         "row.names = FALSE ; avec pandas, index=False)"},
        {"Survival,Survivl\n0.3,0.3\n",
         "plan.csv:1: colonne 2 : paramètre inconnu : «Survivl» ; voulez-vous dire Survival ?"},
        {"Survival,Survival\n0.3,0.3\n", "plan.csv:1: colonne 2 : le paramètre Survival figure deux fois"},
        {"StepCount\n10\n", "plan.csv:1: colonne 1 : paramètre inconnu : «StepCount»"},
        {"# only a comment\n\n", "plan.csv : aucune ligne d'en-tête (les noms des paramètres)"},
        {"", "plan.csv : aucune ligne d'en-tête (les noms des paramètres)"},
        {"Survival\n# no point\n", "plan.csv : aucun point (une ligne de valeurs après l'en-tête)"},
    };
    for (const Case &c : cases) {
        const ParsedDesign p = ParseDesignText(c.text, "plan.csv");
        ASSERT_EQ(p.Problems.size(), 1u) << c.text;
        EXPECT_EQ(p.Problems[0], c.problem);
        EXPECT_TRUE((p.Result.PointCount() == 0));
    }
}

TEST(DesignFile, ValuesWrittenWithTheTableQuotingReadBackUnchanged) {
    const std::vector<std::string> paths = {"#lead.txt", " blank.txt", "a,b.txt",   "say \"hi\".txt",
                                            "tab\t",     "plain.txt",  "cr\rinside"};
    std::string text = "EnvFilePath,Survival\n";
    for (const std::string &path : paths) text += CsvField(path) + ",0.5\n";
    const ParsedDesign p = ParseDesignText(text, "back.csv");
    ASSERT_TRUE(p.Problems.empty()) << p.Problems.front();
    ASSERT_EQ(p.Result.PointCount(), paths.size());
    for (std::size_t k = 0; k < paths.size(); ++k) EXPECT_EQ(p.Result.Value(static_cast<int>(k) + 1, 0), paths[k]);
}

TEST(DesignFile, AnyBytesGiveProblemsNotFaults) {
    const std::string inputs[] = {
        std::string("\0,\0\n\0\n", 6),
        "\"",
        "\"\"\"",
        ",,,\n,,,\n",
        "Survival\n\"",
        "Survival\n\xff\xfe",
        "Survival\r\r\n0.4\r\r\n",
        std::string(100000, ','),
        "Survival\n" + std::string(100000, '"'),
    };
    for (const std::string &text : inputs) {
        const ParsedDesign p = ParseDesignText(text, "x.csv");
        EXPECT_FALSE(p.Problems.empty() && (p.Result.PointCount() == 0)) << text.substr(0, 20);
    }
}
