// The manual page and the bash completion of glebix-batch against the tables they are
// made from: every option and setting named, and roff's control characters kept as text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "BashCompletion.h"
#include "BatchOptions.h"
#include "ManPage.h"
#include "Messages.h"
#include "SettingsTable.h"

using namespace glebix::batch;

TEST(BatchDocs, ManPageHasAnEntryForEveryOptionAndSetting) {
    const std::string page = ManPageText();
    for (const OptionHelp &o : OptionHelps(Language::French)) {
        const auto entry = page.find(".TP\n\\fB" + RoffText(o.Name) + "\\fR");
        ASSERT_NE(entry, std::string::npos) << o.Name;
        // Every option has a line of help, those the usage text lists without one too.
        const auto help = page.find('\n', entry + 4) + 1;
        EXPECT_NE(page[help], '.') << o.Name << " sans texte";
    }
    for (const std::string &name : SettingNames())
        EXPECT_NE(
            page.find(".TP\n\\fB" + name + "\\fR\n" + RoffText(std::string(glebix::FindSettingRow(name)->description))),
            std::string::npos)
            << name;
    EXPECT_NE(page.find(RoffText(ExitStatusText(Language::French).substr(0, 30))), std::string::npos);
}

TEST(BatchDocs, RoffTextKeepsControlCharactersAsText) {
    struct Case {
        const char *text, *roff;
    } const cases[] = {
        {"--out DIR", "\\-\\-out DIR"}, {".hidden", "\\&.hidden"}, {"a\n'quoted", "a\n\\&'quoted"},
        {"a.b 'c'", "a.b 'c'"},         {"C:\\dir", "C:\\edir"},
    };
    for (const Case &c : cases) EXPECT_EQ(RoffText(c.text), c.roff) << c.text;
}

TEST(BatchDocs, CompletionOffersEveryOptionAndSettingName) {
    const std::string script = BashCompletionText();
    for (const OptionHelp &o : OptionHelps(Language::French))
        EXPECT_NE(script.find(" " + o.Name), std::string::npos) << o.Name;
    for (const std::string &name : SettingNames()) EXPECT_NE(script.find(name + "="), std::string::npos);
    EXPECT_NE(script.find("complete -F _glebix_batch glebix-batch"), std::string::npos);
}

// The manual page is French whatever the language of the machine that writes it.
TEST(BatchDocs, ManPageIsFrenchInAnyLanguage) {
    const char *before = std::getenv("LANGUAGE");
    const std::string saved = before ? before : "";
    ::setenv("LANGUAGE", "en", 1);
    const std::string page = ManPageText();
    ::setenv("LANGUAGE", "fr", 1);
    EXPECT_EQ(ManPageText(), page);
    if (before)
        ::setenv("LANGUAGE", saved.c_str(), 1);
    else
        ::unsetenv("LANGUAGE");
    EXPECT_NE(page.find(RoffText(MessageIn(Language::French, "help.resume", {}).substr(0, 20))), std::string::npos);
    EXPECT_EQ(page.find("resumes the run"), std::string::npos);
}
