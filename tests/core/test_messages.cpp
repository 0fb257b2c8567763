// The message catalogue: both languages of every message with the same placeholders,
// every key the sources use present, the choice of language, and the engine's messages,
// made by key, in French as the windows show them and in English.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
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
#include "AsciiGrid.h"
#include "PlotShape.h"
#include "Response.h"
#include "Simul.h"
#include "StateFile.h"
#include "SettingsRegistry.h"

using namespace glebix;
using namespace glebix::core;

namespace {

// The placeholder numbers of a text, each as often as it appears.
std::multiset<int> Placeholders(const std::string &text) {
    std::multiset<int> found;
    static const std::regex placeholder(R"(\{([0-9]+)\})");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it)
        found.insert(std::stoi((*it)[1]));
    return found;
}

constexpr Language Fr = Language::French, En = Language::English;

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

// Every engine message, by key with sample arguments, in both languages: no placeholder
// is left, every argument shows, and the French is the engine's own text.
TEST(MessageCatalogue, EveryEngineMessageRendersInBothLanguages) {
    const std::vector<std::string> samples{"a0", "b1", "c2", "d3", "e4", "f5", "g6", "h7"};
    static const std::regex placeholder(R"(\{[0-9]+\})");
    for (std::size_t k = 0; k < std::size(EngineMessageRows); ++k) {
        const EngineMessageRow &row = EngineMessageRows[k];
        SCOPED_TRACE(row.Key);
        const std::multiset<int> used = Placeholders(row.French);
        ASSERT_TRUE(used.empty() || *used.rbegin() < static_cast<int>(samples.size()));
        const EngineMessage message(MessageKey::Row(k), std::vector<MessageArg>(samples.begin(), samples.end()));
        const std::string french = RenderIn(Fr, message), english = RenderIn(En, message);
        EXPECT_EQ(french, message.French());
        EXPECT_EQ(french, FillPlaceholders(row.French, samples));
        EXPECT_EQ(english, MessageIn(En, row.Key, samples));
        for (const std::string &text : {french, english}) {
            EXPECT_FALSE(std::regex_search(text, placeholder)) << text;
            for (int n : used) EXPECT_NE(text.find(samples[static_cast<std::size_t>(n)]), std::string::npos) << text;
        }
    }
}

// Every key a source names (the settings registry's warnings and the engine's errors
// among them) is in the catalogue, and every entry but the settings' descriptions (found
// by the setting's name) is named by a source.
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
    // Each folder with its rooms, so that a room added later is read too.
    for (const char *folder : {"engine", "core", "invocation", "recorders", "batch", "render", "python/src",
                               "python/glebix", "r/glebix/src", "r/glebix/R"}) {
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const std::string name = entry.path().filename().string();
            const std::string suffix = entry.path().extension().string();
            if (!entry.is_regular_file() || (suffix != ".h" && suffix != ".cpp" && suffix != ".py" && suffix != ".R"))
                continue;
            if (name.ends_with("MessageCatalogue.cpp") || name == "EngineMessages.h") continue;
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
        if (!key.starts_with("engine.describe.")) { EXPECT_TRUE(used.count(key)) << key << " is used nowhere"; }
    }
}

namespace {

// The code of a C++ source without its comments, its string literals kept.
std::string WithoutComments(const std::string &text) {
    std::string code;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '"' || c == '\'') {
            const std::size_t start = k;
            for (++k; k < text.size() && text[k] != c; ++k)
                if (text[k] == '\\') ++k;
            code.append(text, start, k - start + 1);
        } else if (text.compare(k, 2, "//") == 0) {
            k = text.find('\n', k) - 1;
            if (k + 1 == 0) break;  // the last line
        } else if (text.compare(k, 2, "/*") == 0) {
            k = text.find("*/", k + 2) + 1;
        } else {
            code += c;
        }
    }
    return code;
}

}  // namespace

// The engine raises its messages by key only: a text of its own in a string (a French
// one, or one passed as a message's argument) would have no English.
TEST(MessageCatalogue, EngineRaisesNoTextOutsideItsMessages) {
    // Its quotation marks and the cut token's ellipsis, which are not messages.
    const std::set<std::string> signs{"\"« \"", "\" »\"", "\"…\""};
    const std::regex literal(R"re("(?:[^"\\]|\\.)*")re");
    const std::regex textRaised(R"re((?:GlebixError|Fail|EngineMessage::Text)\(\s*(?:"|std::string\())re");
    int files = 0;
    const std::filesystem::path engine = std::filesystem::path(GLEBIX_SOURCE_DIR) / "engine";
    for (const auto &entry : std::filesystem::recursive_directory_iterator(engine)) {
        const std::string name = entry.path().filename().string();
        // The messages themselves, and the settings' descriptions, each with its English.
        if (name == "EngineMessages.h" || name == "SettingsRegistry.h") continue;
        if (!name.ends_with(".cpp") && !name.ends_with(".h")) continue;
        std::ifstream in(entry.path());
        const std::string code =
            WithoutComments(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
        ++files;
        EXPECT_FALSE(std::regex_search(code, textRaised)) << name << " raises a text";
        for (auto it = std::sregex_iterator(code.begin(), code.end(), literal); it != std::sregex_iterator(); ++it) {
            const std::string text = it->str();
            const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
            EXPECT_TRUE(ascii || signs.count(text)) << name << ": " << text;
        }
    }
    ASSERT_GT(files, 20);
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

namespace {

// The error `raise` ends with.
GlebixError Raised(const std::function<void()> &raise) {
    try {
        raise();
    } catch (const GlebixError &e) { return e; }
    ADD_FAILURE() << "no error";
    return GlebixError(std::string());
}

}  // namespace

// Engine errors as the engine raises them: their French is letter for letter the text
// the windows have always shown, and their English is made from the same key and
// arguments, composed messages included.
TEST(Messages, EngineErrorsInFrenchAsBeforeAndInEnglish) {
    struct Case {
        GlebixError error;
        std::string french, english;
    } cases[] = {
        {Raised([] {
             ReadAsciiGrid("nrows 2\nxllcorner 0\n", "g.asc", [](int, int, std::string_view) {}, {2, 2});
         }),
         "en-tête de grille incomplet : « ncols » manque", "incomplete grid header: \"ncols\" missing"},
        {Raised([] {
             PlotShapeOf(PlotSettings{"50", "50", "tore"});
         }),
         "« tore » n'est pas un bord de parcelle : torus (tore) ou bounded (bords que les individus franchissent pour "
         "partir)",
         "\"tore\" is not a plot edge: torus (the plot wraps around) or bounded (edges that individuals cross to "
         "leave)"},
        {Raised([] { CheckResponseShape(7, ShapeSource::SpeciesFile); }),
         "Forme de la réponse au milieu inconnue dans le fichier : 7 (valeurs admises : 0, 1 ou 2)",
         "Unknown shape of the response to the environment in the file: 7 (allowed values: 0, 1 or 2)"},
        {Raised([] {
             ShapeWithGrid(PlotShape{}, PlotSettings{}, GridSize{40, 30}, "g.asc", "", true);
         }),
         "la grille du fichier « g.asc » a 40 colonnes et 30 lignes ; la fenêtre ne montre que des parcelles de 50 × "
         "50 : une parcelle d'une autre taille se simule avec glebix-batch, ou depuis Python ou R",
         "the grid of the file \"g.asc\" has 40 columns and 30 rows; the window shows only plots of 50 × 50: a plot "
         "of another size is simulated with glebix-batch, or from Python or R"},
        {Raised([] { ParseStateFile("GLEBIX-STATE 1\n", "s.txt", nullptr); }),
         "fichier d'état tronqué : la ligne finale « sha256 » manque",
         "truncated state file: the final \"sha256\" line is missing"},
        {GlebixError(IoErrorMessage(EACCES, "x")), "Accès au fichier refusé", "File access denied"},
        // The plot's size: a side the settings demand, a second grid, the chart cell.
        {Raised([] {
             PlotSettings demanded;
             demanded.Width = "40";
             ShapeWithGrid(PlotShape{}, demanded, GridSize{30, 20}, "g.asc", "", false);
         }),
         "la grille du fichier « g.asc » a 30 colonnes et 20 lignes, qui font la taille de la parcelle",
         "the grid of the file \"g.asc\" has 30 columns and 20 rows, which make the plot's size"},
        {Raised([] {
             ShapeWithGrid(PlotShape{30, 20}, PlotSettings{}, GridSize{40, 30}, "d.asc", "e.asc", false);
         }),
         "la grille du fichier « d.asc » a 40 colonnes et 30 lignes ; celle du fichier « e.asc », qui fait la "
         "taille de la parcelle, en a 30 colonnes et 20 lignes",
         "the grid of the file \"d.asc\" has 40 columns and 30 rows; that of the file \"e.asc\", which makes the "
         "plot's size, has 30 columns and 20 rows"},
        {Raised([] {
             PlotShapeOf(PlotSettings{"0", "50", "torus"});
         }),
         "« 0 » n'est pas un nombre entier de cases de 1 à " + std::to_string(MaxPlotSide),
         "\"0\" is not a whole number of cells from 1 to " + std::to_string(MaxPlotSide)},
        {Raised([] { CheckChartCell("ChartCellX", "31", 30); }),
         "la case du graphique « 31 » est hors de la parcelle, dont l'indice va de 1 à 30",
         "the chart cell \"31\" is outside the plot, whose index runs from 1 to 30"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.error.what(), c.french);
        EXPECT_EQ(RenderIn(Fr, c.error.Message()), c.french);
        EXPECT_EQ(RenderIn(En, c.error.Message()), c.english);
    }
    // Composed: a message whose argument is itself a message, each part in the language.
    const EngineMessage cell(
        "engine.state_incorrect",
        {EngineMessage("engine.state_cell", {"2", "3", EngineMessage("engine.state_count_negative", {"-1"})})});
    EXPECT_EQ(cell.French(),
              "fichier d'état incorrect : case (ligne 2, colonne 3) : effectif négatif -1, qu'aucune simulation "
              "n'atteint avec ces paramètres");
    EXPECT_EQ(RenderIn(En, cell),
              "incorrect state file: cell (row 2, column 3): negative count -1, which no run reaches with these "
              "settings");
    // A text made outside the engine stays as it is.
    EXPECT_EQ(RenderIn(En, GlebixError("un texte déjà traduit").Message()), "un texte déjà traduit");

    GlebixError error(MsgBadNumber, ErrorContext{"EnvFilePath", "m.txt", 3, 7, "abc", false});
    EXPECT_EQ(MessageWithContext(error),
              "EnvFilePath « m.txt », ligne 3, colonne 7 : « abc » : " + std::string(MsgBadNumber.French()));
    EXPECT_EQ(DescribeContext(error.Context(), ContextWords{"\"", "\"", "line ", "file line ", "column ", ": "}),
              "EnvFilePath \"m.txt\", line 3, column 7: \"abc\"");
}

// The registry's descriptions stay French in the engine; each has its English by the
// setting's name.
TEST(Messages, EverySettingDescriptionIsGivenInEnglish) {
    for (const SettingRow &row : SettingRows()) {
        const std::string french(row.description);
        EXPECT_NE(MessageIn(En, SettingDescriptionKey(row), {}), french) << row.name;
        EXPECT_EQ(MessageIn(Fr, SettingDescriptionKey(row), {}), french) << row.name;
        EXPECT_EQ(SettingDescription(row), french) << row.name;  // the tests run in French
    }
}
