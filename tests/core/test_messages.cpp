// The message catalogue: both languages of every message with the same placeholders,
// every key the sources use present, the choice of language, and the engine's French
// messages given in English.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>

#include "AbcRejection.h"
#include "CalibrationError.h"
#include "Errors.h"
#include "Language.h"
#include "Messages.h"
#include "SettingsRegistry.h"

using namespace glebix;
using namespace glebix::batch;

namespace {

// The placeholder numbers of a text, each as often as it appears.
std::multiset<int> Placeholders(const std::string &text) {
    std::multiset<int> found;
    static const std::regex placeholder(R"(\{([0-9]+)\})");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it)
        found.insert(std::stoi((*it)[1]));
    return found;
}

bool IsEngineKey(const std::string &key) { return key.rfind("engine.", 0) == 0; }

}  // namespace

TEST(MessageCatalogue, EveryMessageHasBothLanguagesWithTheSamePlaceholders) {
    std::set<std::string> keys;
    for (const CatalogueEntry &e : Catalogue()) {
        SCOPED_TRACE(e.Key);
        EXPECT_TRUE(keys.insert(e.Key).second) << "key given twice";
        ASSERT_NE(e.French, nullptr);
        ASSERT_NE(e.English, nullptr);
        EXPECT_STRNE(e.French, "");
        EXPECT_STRNE(e.English, "");
        EXPECT_EQ(Placeholders(e.French), Placeholders(e.English));
        // Numbered from 0 without a gap, so that every argument is shown.
        const std::multiset<int> placeholders = Placeholders(e.French);
        const std::set<int> numbers(placeholders.begin(), placeholders.end());
        int expected = 0;
        for (int n : numbers) EXPECT_EQ(n, expected++);
    }
}

// Each engine message filled with plain arguments is found again, by its own entry
// and not an earlier, looser one.
TEST(MessageCatalogue, EachEngineMessageIsGivenInEnglish) {
    const std::vector<std::string> args{"x0", "x1", "x2", "x3"};
    for (const CatalogueEntry &e : Catalogue()) {
        if (!IsEngineKey(e.Key)) continue;
        SCOPED_TRACE(e.Key);
        EXPECT_EQ(FromFrenchIn(Language::English, FillPlaceholders(e.French, args)), FillPlaceholders(e.English, args));
        EXPECT_EQ(FromFrenchIn(Language::French, FillPlaceholders(e.French, args)), FillPlaceholders(e.French, args));
    }
}

// Every key a source names (the settings registry's warnings among them) is in the
// catalogue, and every entry but the engine's (found by their French text) is named by
// a source.
TEST(MessageCatalogue, KeysOfTheSourcesAndOfTheCatalogueAgree) {
    std::set<std::string> catalogue, prefixes;
    for (const CatalogueEntry &e : Catalogue()) {
        catalogue.insert(e.Key);
        const std::string key = e.Key;
        if (key.find('.') != std::string::npos) prefixes.insert(key.substr(0, key.find('.')));
    }
    std::set<std::string> used;
    const std::regex call(
        R"re((?:^|[^A-Za-z_])(?:Message|MessageIn\([^,()]*,|message|gx_message)\(\s*"([a-z0-9_.\-]+)")re");
    const std::regex literal(R"re("([a-z]+)\.([a-z0-9_\-]+)")re");
    const std::filesystem::path root = GLEBIX_SOURCE_DIR;
    int files = 0;
    for (const char *folder : {"engine", "core", "core/analysis", "core/calibration", "batch", "render", "gis",
                               "python/src", "python/glebix", "r/glebix/src", "r/glebix/R"}) {
        for (const auto &entry : std::filesystem::directory_iterator(root / folder)) {
            // A folder (core/analysis, core/calibration) is walked as an entry of the list of its own.
            if (!entry.is_regular_file() || entry.path().filename().string().ends_with("MessageCatalogue.cpp"))
                continue;
            std::ifstream in(entry.path());
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ++files;
            for (auto it = std::sregex_iterator(text.begin(), text.end(), call); it != std::sregex_iterator(); ++it)
                used.insert((*it)[1]);
            for (auto it = std::sregex_iterator(text.begin(), text.end(), literal); it != std::sregex_iterator(); ++it)
                if (prefixes.count((*it)[1])) used.insert((*it)[1].str() + "." + (*it)[2].str());
        }
    }
    ASSERT_GT(files, 50);
    for (const std::string &key : used) EXPECT_TRUE(catalogue.count(key)) << key << " is not in the catalogue";
    for (const std::string &key : catalogue) {
        if (!IsEngineKey(key)) { EXPECT_TRUE(used.count(key)) << key << " is used nowhere"; }
    }
}

struct LanguageCase {
    const char *language, *all, *messages, *lang;
    Language expected;
};

class LanguageChoice : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageChoice, FirstSetVariableDecides) {
    const LanguageCase &c = GetParam();
    EXPECT_EQ(ChooseLanguage({c.language, c.all, c.messages, c.lang}), c.expected);
}

constexpr Language Fr = Language::French, En = Language::English;

INSTANTIATE_TEST_SUITE_P(Variables, LanguageChoice,
                         ::testing::Values(LanguageCase{nullptr, nullptr, nullptr, nullptr, En},
                                           LanguageCase{nullptr, nullptr, nullptr, "C", En},
                                           LanguageCase{nullptr, nullptr, nullptr, "POSIX", En},
                                           LanguageCase{nullptr, nullptr, nullptr, "fr_FR.UTF-8", Fr},
                                           LanguageCase{nullptr, nullptr, nullptr, "fr", Fr},
                                           LanguageCase{nullptr, nullptr, nullptr, "fr_CA", Fr},
                                           LanguageCase{nullptr, nullptr, nullptr, "fr@euro", Fr},
                                           LanguageCase{nullptr, nullptr, nullptr, "fri_XX", En},
                                           LanguageCase{nullptr, nullptr, nullptr, "en_US.UTF-8", En},
                                           LanguageCase{nullptr, "fr_FR.UTF-8", nullptr, "en_US.UTF-8", Fr},
                                           LanguageCase{nullptr, "C", nullptr, "fr_FR.UTF-8", En},
                                           LanguageCase{nullptr, "", "fr_BE.UTF-8", "en_GB.UTF-8", Fr},
                                           LanguageCase{"", "", "", "fr_FR.UTF-8", Fr},
                                           LanguageCase{"en:fr", "fr_FR.UTF-8", nullptr, nullptr, En},
                                           LanguageCase{"fr:en", "C", nullptr, nullptr, Fr},
                                           LanguageCase{"de_DE", "fr_FR.UTF-8", nullptr, nullptr, En}),
                         [](const auto &info) { return std::to_string(info.index); });

TEST(Messages, FillInTheUsersLanguageAndKeepUnknownKeys) {
    EXPECT_EQ(MessageIn(Fr, "option.value_missing", {"--seed"}), "--seed : valeur manquante");
    EXPECT_EQ(MessageIn(En, "option.value_missing", {"--seed"}), "--seed: value missing");
    EXPECT_EQ(MessageIn(En, "no.such.key", {}), "no.such.key");
    EXPECT_EQ(FillPlaceholders("{1} {0} {2}", {"a", "b"}), "b a {2}");
}

// The calibration's refusals carry a key and its arguments; the core gives their text in
// the user's language (French here: the tests run under fr_FR).
TEST(Messages, CalibrationRefusalsInBothLanguages) {
    const calibration::CalibrationError error("calibration.accept_fraction", {"1.5"});
    EXPECT_EQ(LocalExceptionMessage(error), "calibration : la fraction acceptée 1.5 est hors de ]0, 1]");
    EXPECT_EQ(MessageIn(En, error.Key(), error.Args()), "calibration: the accept fraction 1.5 is outside (0, 1]");
    try {
        calibration::Candidates none;
        none.Parameters.Cols = 1;
        calibration::Reject(none, std::vector<calibration::Factor>{{"mu", 0, 1}}, {0.5});
        FAIL();
    } catch (const std::exception &e) {
        EXPECT_EQ(LocalExceptionMessage(e), "calibration : aucune simulation à accepter (0 en erreur, sans résumés)");
    }
}

// Engine messages as they leave the engine: composed, with their context, or from an
// error number; a text no entry matches is kept.
TEST(Messages, EngineMessagesInEnglish) {
    EXPECT_EQ(FromFrenchIn(En, "fichier d'état incorrect : « step » manque"), "incorrect state file: \"step\" missing");
    EXPECT_EQ(FromFrenchIn(En,
                           "case (ligne 2, colonne 3) : effectif négatif -1, qu'aucune simulation n'atteint "
                           "avec ces paramètres"),
              "cell (row 2, column 3): negative count -1, which no run reaches with these settings");
    EXPECT_EQ(FromFrenchIn(En, "en-tête de grille incomplet : « ncols » manque"),
              "incomplete grid header: \"ncols\" missing");
    EXPECT_EQ(FromFrenchIn(En, IoErrorMessage(EACCES, "x")), "File access denied");
    EXPECT_EQ(FromFrenchIn(En, "un texte que nul ne connaît"), "un texte que nul ne connaît");
    // The state file's settings, read by name.
    EXPECT_EQ(FromFrenchIn(En, "fichier d'état incorrect : « setting Survival » donné deux fois"),
              "incorrect state file: \"setting Survival\" given twice");
    EXPECT_EQ(FromFrenchIn(En, "fichier d'état incorrect : paramètre inconnu « Survivl »"),
              "incorrect state file: unknown setting \"Survivl\"");
    EXPECT_EQ(FromFrenchIn(En, "en-tête de grille : « ncols » donné deux fois"), "grid header: \"ncols\" given twice");

    GlebixError error(MsgBadNumber, ErrorContext{"EnvFilePath", "m.txt", 3, 7, "abc", false});
    EXPECT_EQ(MessageWithContext(error),
              "EnvFilePath « m.txt », ligne 3, colonne 7 : « abc » : " + std::string(MsgBadNumber));
    EXPECT_EQ(DescribeContext(error.Context(), ContextWords{"\"", "\"", "line ", "file line ", "column ", ": "}),
              "EnvFilePath \"m.txt\", line 3, column 7: \"abc\"");
}

// The registry's descriptions stay French in the engine; each has its English at the
// boundary, so a description changed in one place only is caught here.
TEST(Messages, EverySettingDescriptionIsGivenInEnglish) {
    for (const SettingRow &row : SettingRows()) {
        const std::string french(row.description);
        EXPECT_NE(FromFrenchIn(En, french), french) << row.name;
        EXPECT_EQ(FromFrenchIn(Fr, french), french) << row.name;
    }
}
