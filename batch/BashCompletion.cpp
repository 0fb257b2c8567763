#include "BashCompletion.h"

#include "BatchOptions.h"
#include "SettingsTable.h"

namespace glebix::batch {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

// The options whose value has the given name, as a bash case pattern ("--out|--trace").
std::string OptionsTaking(bool (*takes)(const std::string &valueName)) {
    std::string out;
    for (const OptionHelp &o : OptionHelps(Language::French))
        if (!o.ValueName.empty() && takes(o.ValueName)) out += (out.empty() ? "" : "|") + o.Name;
    return out;
}

bool IsFolder(const std::string &valueName) { return valueName == "DIR"; }
bool IsFile(const std::string &valueName) { return valueName == "FILE" || valueName == "MANIFEST"; }
bool IsOther(const std::string &valueName) {
    return !IsFolder(valueName) && !IsFile(valueName) && valueName != "NAME=VALUE";
}

std::string Words() {
    std::string out;
    for (const OptionHelp &o : OptionHelps(Language::French)) {
        out += (out.empty() ? "" : " ") + o.Name;
        if (!o.Alias.empty()) out += " " + o.Alias;
    }
    return out;
}

std::string SettingWords() {
    std::string out;
    for (const std::string &name : SettingNames()) out += (out.empty() ? "" : " ") + name + "=";
    return out;
}

}  // namespace

std::string BashCompletionText() {
    return "# bash completion of glebix-batch " + VersionNumber() +
           ", made from its option table.\n"
           "_glebix_batch() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    COMPREPLY=()\n"
           "    case $prev in\n"
           "        --set)\n"
           "            compopt -o nospace 2>/dev/null\n"
           "            COMPREPLY=($(compgen -W '" +
           SettingWords() +
           "' -- \"$cur\"))\n"
           "            return ;;\n"
           "        " +
           OptionsTaking(IsFolder) +
           ")\n"
           "            compopt -o filenames 2>/dev/null\n"
           "            COMPREPLY=($(compgen -d -- \"$cur\"))\n"
           "            return ;;\n"
           "        " +
           OptionsTaking(IsFile) +
           ")\n"
           "            compopt -o filenames 2>/dev/null\n"
           "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "            return ;;\n"
           "        " +
           OptionsTaking(IsOther) +
           ")\n"
           "            return ;;\n"
           "    esac\n"
           "    COMPREPLY=($(compgen -W '" +
           Words() +
           "' -- \"$cur\"))\n"
           "}\n"
           "complete -F _glebix_batch glebix-batch\n";
}

}  // namespace glebix::batch
