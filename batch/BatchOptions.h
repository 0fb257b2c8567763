// The command line of glebix-batch.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Language.h"
#include "StudyOptions.h"

namespace glebix::batch {

// The core's names are this layer's words.
using namespace glebix::core;
using namespace glebix::invocation;

struct ParsedCommandLine {
    BatchOptions Options;
    std::vector<std::string> Problems;  // one line each; any problem is a usage error
};

// Parses the arguments (without the program name). Options take their value as the
// next argument or after '=' ("--steps 50", "--steps=50"). Every problem is collected;
// --species is applied first, then --params files, then the --set options in order;
// a design's rows are applied to each point's runs on top of those (ApplyDesignPoint).
// With --resume, the settings are the saved ones, and --set may change only those a
// run reads at every step (ResumeSettableNames in SettingsTable.h).
ParsedCommandLine ParseCommandLine(const std::vector<std::string> &arguments);

// The --help text, in the user's language.
std::string UsageText();

// One option as the usage text documents it. A switch has no value name; the options
// with no help are those the usage text lists together on its last line.
struct OptionHelp {
    std::string Name;
    std::string Alias;      // another spelling; empty when none
    std::string ValueName;  // empty for a switch
    std::string Help;       // lines separated by '\n'; may be empty
};
// Every option of the command line, in the order of the usage text, its help in
// `language`.
std::vector<OptionHelp> OptionHelps(Language language);

// The usage text's paragraphs after the setting names: how values are written, and the
// exit status of each outcome, in `language`.
std::string ValueFormText(Language language);
std::string ExitStatusText(Language language);

}  // namespace glebix::batch
