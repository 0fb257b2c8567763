#include "ManPage.h"

#include <map>
#include <vector>

#include "BatchOptions.h"
#include "SettingsTable.h"

namespace glebix::batch {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

// What the options that the usage text lists without help do.
const std::map<std::string, std::string> &SwitchHelp() {
    static const std::map<std::string, std::string> help = {
        {"--help", "affiche l'utilisation et s'arrête"},
        {"--version", "affiche la version et s'arrête"},
    };
    return help;
}

// Joins the lines of a usage text into one paragraph.
std::string OneParagraph(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (char &c : text)
        if (c == '\n') c = ' ';
    return text;
}

std::string OptionsSection() {
    std::string out =
        ".SH OPTIONS\n"
        "Une option prend sa valeur dans l'argument suivant ou après \\(Fo=\\(Fc "
        "(\\fB\\-\\-steps 50\\fR, \\fB\\-\\-steps=50\\fR).\n";
    for (const OptionHelp &o : OptionHelps(Language::French)) {
        out += ".TP\n\\fB" + RoffText(o.Name) + "\\fR";
        if (!o.Alias.empty()) out += ", \\fB" + RoffText(o.Alias) + "\\fR";
        if (!o.ValueName.empty()) out += " \\fI" + RoffText(o.ValueName) + "\\fR";
        std::string help = o.Help;
        if (help.empty() && SwitchHelp().count(o.Name)) help = SwitchHelp().at(o.Name);
        out += "\n" + RoffText(OneParagraph(help)) + "\n";
    }
    return out;
}

std::string SettingsSection() {
    std::string out =
        ".SH PARAMÈTRES\n"
        "Les noms que prennent \\fB\\-\\-set\\fR, les fichiers \\fB\\-\\-params\\fR et les "
        "colonnes d'un plan \\fB\\-\\-design\\fR, avec la forme de leur valeur et leur "
        "valeur par défaut.\n";
    const TSettings defaults;
    for (const std::string &name : SettingNames()) {
        const std::string value = SettingText(name, defaults);
        out += ".TP\n\\fB" + RoffText(name) + "\\fR\n" + RoffText(std::string(FindSettingRow(name)->description)) +
               " (" + RoffText(SettingKindText(name)) + (value.empty() ? "" : " ; par défaut " + RoffText(value)) +
               ")\n";
    }
    return out + ".PP\n" + RoffText(OneParagraph(ValueFormText(Language::French))) + "\n";
}

}  // namespace

std::string RoffText(const std::string &text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string ManPageText() {
    const std::string version = RoffText(VersionNumber());
    return ".TH GLEBIX\\-BATCH 1 \"\" \"glebix\\-batch " + version + "\" \"Glebix\"\n" +
           // Option names are not to be split across lines, nor spread apart.
           ".nh\n.ad l\n"
           ".SH NOM\n"
           "glebix\\-batch \\- simulations de Glebix sans fenêtres\n"
           ".SH SYNOPSIS\n"
           ".B glebix\\-batch\n"
           "[\\fIoptions\\fR]\n"
           ".SH DESCRIPTION\n"
           "Lance le modèle de Glebix sans fenêtres : l'initialisation, puis les pas de temps, "
           "puis les sorties demandées (fichier de résultats, trace CSV, cartes PNG, grilles, "
           "GIF animé, états enregistrés). Avec \\fB\\-\\-replicates\\fR et \\fB\\-\\-design\\fR, "
           "mène des répétitions et des plans d'expérience entiers sur plusieurs processeurs ; "
           "la même graine donne les mêmes résultats.\n" +
           OptionsSection() + SettingsSection() + ".SH CODE DE SORTIE\n" +
           RoffText(OneParagraph(ExitStatusText(Language::French))) + "\n" +
           ".SH VOIR AUSSI\n"
           "\\fBglebix\\fR(1)\n";
}

}  // namespace glebix::batch
