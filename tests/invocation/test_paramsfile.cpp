// The --params file.
#include <gtest/gtest.h>

#include "ParamsFile.h"
#include "SettingsTable.h"

using namespace glebix;
using namespace glebix::invocation;

TEST(ParamsFile, AppliesLinesInOrderSkippingBlanksAndComments) {
    TSettings s;
    const auto problems = ParseParamsText(
        "\xEF\xBB\xBF# a sweep point\r\n"
        "\r\n"
        "  Survival = 0.3  \r\n"
        "\t# indented comment\n"
        "DispersalFirst=on\n"
        "Survival=0.25\n"
        "EnvFilePath= a b.txt \n"
        "DecompactionD=4",  // no final line end
        "p.txt", s);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(s.Species.Survival, "0.25");
    EXPECT_TRUE(s.Species.DispersalFirst);
    EXPECT_EQ(s.Initial.EnvFilePath, "a b.txt");
    EXPECT_EQ(s.Run.DecompactionD, "4");
}

TEST(ParamsFile, ReportsEveryBadLineWithItsNumberAndKeepsTheGoodOnes) {
    TSettings s;
    const auto problems = ParseParamsText(
        "Survival=0,4\n"
        "Fecundity=3\n"
        "just words\n"
        "=5\n"
        "Unknown=1\n"
        "EnvMean=40 # trailing comment\n",
        "sweep.txt", s);
    ASSERT_EQ(problems.size(), 5u);
    EXPECT_EQ(problems[0],
              "sweep.txt:1: paramètre Survival : «0,4» n'est pas un nombre décimal (avec un point, "
              "comme 0.4)");
    EXPECT_EQ(problems[1], "sweep.txt:3: ligne attendue de la forme NAME=VALUE");
    EXPECT_EQ(problems[2].rfind("sweep.txt:4: ", 0), 0u);
    EXPECT_EQ(problems[3], "sweep.txt:5: paramètre inconnu : «Unknown»");
    EXPECT_EQ(problems[4].rfind("sweep.txt:6: ", 0), 0u);
    EXPECT_EQ(s.Species.Survival, "0.4");  // refused: unchanged
    EXPECT_EQ(s.Species.Fecundity, "3");
}

TEST(ParamsFile, AnyBytesGiveProblemsNotFaults) {
    const std::string inputs[] = {
        std::string("\0\0=\0\n", 5),
        "====\n",
        "\n\n\n",
        "#",
        "Survival=",
        "Survival==0.4",
        "\xff\xfe=\x80",
        std::string(100000, 'x'),
        "Survival=0.4\r\r\n",
    };
    for (const std::string &text : inputs) {
        TSettings s;
        const auto problems = ParseParamsText(text, "f", s);
        for (const std::string &p : problems) EXPECT_EQ(p.find('\n'), std::string::npos);
        EXPECT_LT(problems.size(), 10u);
        for (const std::string &p : problems) EXPECT_LT(p.size(), 300u);
    }
}

TEST(ParamsFile, MissingFileIsOneProblem) {
    TSettings s;
    const auto problems = ReadParamsFile("/nonexistent/params.txt", s);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "--params /nonexistent/params.txt : Nom de fichier incorrect");
}
