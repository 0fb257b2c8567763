// The strict check of settings given by name.
#include <gtest/gtest.h>
#include <initializer_list>

#include "CloseNames.h"
#include "Conversions.h"
#include "SettingsTable.h"
#include "SoilMaps.h"

using namespace glebix;
using namespace glebix::core;

namespace {

struct AcceptCase {
    const char *name;
    const char *value;
    const char *stored;  // SettingText afterwards
};

class AcceptedSetting : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptedSetting, IsStoredAsItsText) {
    const AcceptCase &c = GetParam();
    TSettings s;
    EXPECT_EQ(ApplySetting(c.name, c.value, s), std::nullopt);
    EXPECT_EQ(SettingText(c.name, s), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AcceptedSetting,
    ::testing::Values(AcceptCase{"Survival", "0.35", "0.35"}, AcceptCase{"Fecundity", "3", "3"},
                      AcceptCase{"CompactionC", "-2.5e-1", "-2.5e-1"}, AcceptCase{"DispersalSensitivity", "-2", "-2"},
                      AcceptCase{"DistMean", "+5", "+5"}, AcceptCase{"ResponseShape", "0", "0"},
                      AcceptCase{"EnvInitMode", "2", "2"}, AcceptCase{"DistInitMode", "4", "4"},
                      AcceptCase{"ResponseOptimum", "1.50", "1.5"}, AcceptCase{"ResponseTolerance", "-1e3", "-1000"},
                      AcceptCase{"DispersalFirst", "on", "on"}, AcceptCase{"DispersalFirst", "TRUE", "on"},
                      AcceptCase{"SurvivalEnvSensitive", "0", "off"}, AcceptCase{"EnvDynamic", "false", "off"},
                      AcceptCase{"FecundityEnvSensitive", "1", "on"}, AcceptCase{"ChartCellX", "50", "50"},
                      AcceptCase{"ChartCellY", "1", "1"},
                      AcceptCase{"EnvFilePath", "dir with space/f.txt", "dir with space/f.txt"},
                      AcceptCase{"DecompactionD", "0.001", "0.001"}),
    [](const auto &info) { return std::to_string(info.index); });

}  // namespace

// The species file's scientific form has a leading blank; a strict value has none.
TEST(SettingsTable, RefusesLeadingBlank) {
    TSettings s;
    EXPECT_NE(ApplySetting("MortalityAlpha", " 3.01000000000000E-0001", s), std::nullopt);
}

struct RefuseCase {
    const char *name;
    const char *value;
    const char *inMessage;  // a part of the message
};

class RefusedSetting : public ::testing::TestWithParam<RefuseCase> {};

TEST_P(RefusedSetting, NamesTheSettingAndTextAndChangesNothing) {
    const RefuseCase &c = GetParam();
    TSettings s;
    const auto problem = ApplySetting(c.name, c.value, s);
    ASSERT_NE(problem, std::nullopt);
    EXPECT_NE(problem->find(c.name), std::string::npos) << *problem;
    EXPECT_NE(problem->find(c.inMessage), std::string::npos) << *problem;
    EXPECT_EQ(problem->find('\n'), std::string::npos);
    const TSettings defaults;
    for (const std::string &name : SettingNames()) EXPECT_EQ(SettingText(name, s), SettingText(name, defaults));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RefusedSetting,
    ::testing::Values(RefuseCase{"Survival", "0,4", "«0,4»"}, RefuseCase{"Survival", "", "«»"},
                      RefuseCase{"Fecundity", "2x", "«2x»"}, RefuseCase{"EnvMean", "1e999", "hors des limites"},
                      RefuseCase{"DecompactionD", "5.658 ", "«5.658 »"},
                      RefuseCase{"DispersalSensitivity", "0.5", "«0.5»"}, RefuseCase{"DistConstant", "$10", "«$10»"},
                      RefuseCase{"DistMean", "99999999999", "«99999999999»"},
                      RefuseCase{"ResponseShape", "3", "de 0 à 2"}, RefuseCase{"EnvInitMode", "-1", "de 0 à 2"},
                      RefuseCase{"DistInitMode", "1.0", "de 0 à 4"}, RefuseCase{"DispersalFirst", "yes", "«yes»"},
                      RefuseCase{"ResponseOptimum", "nan", "«nan»"}, RefuseCase{"ChartCellX", "4097", "de 1 à 4096"},
                      RefuseCase{"ChartCellY", "0", "de 1 à 4096"}, RefuseCase{"PlotWidth", "0", "de 1 à 4096"},
                      RefuseCase{"PlotHeight", "4097", "de 1 à 4096"}, RefuseCase{"PlotWidth", "2.5", "«2.5»"},
                      RefuseCase{"PlotHeight", "-3", "«-3»"}, RefuseCase{"Edges", "bonded", "torus"},
                      RefuseCase{"survival", "0.4", "paramètre inconnu"},
                      RefuseCase{"StepCount", "3", "paramètre inconnu"}, RefuseCase{"EnvMean", "3\n3", "\\x0a"}),
    [](const auto &info) { return std::to_string(info.index); });

// One message of each kind, in full.
TEST(SettingsTable, RefusalsInFrench) {
    struct Case {
        const char *name, *value, *message;
    };
    for (const Case &c : std::initializer_list<Case>{
             {"Survival", "0,4", "paramètre Survival : «0,4» n'est pas un nombre décimal (avec un point, comme 0.4)"},
             {"EnvMean", "-1e999", "paramètre EnvMean : «-1e999» est hors des limites des nombres réels"},
             {"DistMean", "2.5", "paramètre DistMean : «2.5» n'est pas un nombre entier de -2147483648 à 2147483647"},
             {"ChartCellY", "4097", "paramètre ChartCellY : «4097» n'est pas un nombre entier de 1 à 4096"},
             {"Edges", "Torus",
              "paramètre Edges : «Torus» n'est pas un bord de parcelle : torus (tore) ou bounded (bords que les "
              "individus franchissent pour partir)"},
             {"DistInitMode", "5", "paramètre DistInitMode : «5» n'est pas un numéro de mode de 0 à 4"},
             {"EnvDynamic", "oui",
              "paramètre EnvDynamic : «oui» n'est pas une valeur oui/non (on/off, true/false, 1/0)"},
             {"Survie", "0.4", "paramètre inconnu : «Survie»"}}) {
        TSettings s;
        EXPECT_EQ(ApplySetting(c.name, c.value, s), c.message);
    }
}

// A C path ends at a null byte: no value may hold one, whatever its kind.
TEST(SettingsTable, ANullByteIsRefusedInEveryKindOfValue) {
    using namespace std::string_literals;
    for (const char *name : {"EnvFilePath", "DistFilePath", "Survival", "DistMean", "EnvDynamic", "EnvInitMode"}) {
        TSettings s;
        const auto problem = ApplySetting(name, "0\0evil"s, s);
        ASSERT_NE(problem, std::nullopt) << name;
        EXPECT_EQ(*problem,
                  "paramètre "s + name +
                      " : «0\\x00evil» contient un octet nul, qu'aucune valeur ni aucun chemin ne peut contenir");
    }
}

// What a mistyped name most likely meant: its letters in another case, a beginning,
// the nearest names within a few typing errors.
TEST(SettingsTable, UnknownNamesSuggestTheCloseOnes) {
    const std::vector<std::string> options = {"--steps", "--seed", "--set", "--every", "--out"};
    const struct {
        const char *typed, *suggestion;
    } cases[] = {{"Survivl", " ; voulez-vous dire Survival ?"},
                 {"dispersalsigma", " ; voulez-vous dire DispersalSigma ?"},
                 {"survival", " ; voulez-vous dire Survival ?"},
                 {"Dist", " ; voulez-vous dire DistMean, DistInitMode ou DistConstant ?"},
                 {"ChartCell", " ; voulez-vous dire ChartCellX ou ChartCellY ?"},
                 {"Zzz", ""},
                 {"", ""}};
    for (const auto &c : cases) {
        EXPECT_EQ(UnknownSettingMessage(c.typed), "paramètre inconnu : «" + std::string(c.typed) + "»" + c.suggestion);
        TSettings s;
        EXPECT_EQ(ApplySetting(c.typed, "1", s), UnknownSettingMessage(c.typed));
    }
    EXPECT_EQ(CloseNames("--step", options), std::vector<std::string>{"--steps"});
    EXPECT_EQ(CloseNames("--SEED", options), std::vector<std::string>{"--seed"});
    EXPECT_EQ(CloseNames("--outt", options), std::vector<std::string>{"--out"});
}

// A long text is cut short between two characters, never inside one.
TEST(SettingsTable, LongTextIsCutOnACharacterBoundary) {
    std::string value = "x";
    for (int k = 0; k < 60; ++k) value += "é";  // 2 bytes each: byte 80 is inside a character
    TSettings s;
    const auto problem = ApplySetting("EnvMean", value, s);
    ASSERT_NE(problem, std::nullopt);
    const std::string expected = "paramètre EnvMean : «x" + value.substr(1, 78) + "…» n'est pas un nombre décimal";
    EXPECT_EQ(problem->rfind(expected, 0), 0u) << *problem;
}

TEST(SettingsTable, AcceptedTextConvertsAsTheFieldWould) {
    // The run converts the stored text with the field conversions: a strict value
    // must give the same number through them.
    for (const char *text : {"0.1", "-7.25e2", "123456789.123456789", "1e-320"}) {
        TSettings s;
        ASSERT_EQ(ApplySetting("EnvMean", text, s), std::nullopt);
        EXPECT_EQ(FieldToReal(s.Initial.EnvMean), *ParseRealToken(text)) << text;
    }
    TSettings s;
    ASSERT_EQ(ApplySetting("DistConstant", "-2147483648", s), std::nullopt);
    EXPECT_EQ(FieldToInteger(s.Initial.DistConstant), INT32_MIN);
}

TEST(SettingsTable, EveryNameHasATextAndAcceptsItBack) {
    EXPECT_EQ(SettingNames().size(), 34u);
    const TSettings defaults;
    for (const std::string &name : SettingNames()) {
        TSettings s;
        const std::string text = SettingText(name, defaults);
        if (name == "EnvFilePath" || name == "DistFilePath" || name == "HabitatFilePath" || name == "EventsFilePath" ||
            IsSoilMapSetting(name))
            continue;  // empty by default
        EXPECT_EQ(ApplySetting(name, text, s), std::nullopt) << name << "=" << text;
        EXPECT_EQ(SettingText(name, s), text) << name;
    }
    EXPECT_EQ(SettingText("NoSuchSetting", defaults), "");
}

TEST(SettingsTable, CountsAndSeeds) {
    EXPECT_EQ(ParseCount("0", 0), 0);
    EXPECT_EQ(ParseCount("300", 1), 300);
    EXPECT_EQ(ParseCount("0", 1), std::nullopt);
    EXPECT_EQ(ParseCount("+3", 0), std::nullopt);
    EXPECT_EQ(ParseCount("-3", 0), std::nullopt);
    EXPECT_EQ(ParseCount("3.0", 0), std::nullopt);
    EXPECT_EQ(ParseCount("2147483648", 0), std::nullopt);
    EXPECT_EQ(ParseSeed("4294967295"), 4294967295u);
    EXPECT_EQ(ParseSeed("0"), 0u);
    EXPECT_EQ(ParseSeed("4294967296"), std::nullopt);
    EXPECT_EQ(ParseSeed("-1"), std::nullopt);
    EXPECT_EQ(ParseSeed("+1"), std::nullopt);
    EXPECT_EQ(ParseSeed("0x10"), std::nullopt);
    EXPECT_EQ(ParseSeed(""), std::nullopt);
}
