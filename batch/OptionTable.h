// The options of glebix-batch, one row each, as the parser and the usage text take
// them: what each gathers, and the text that documents it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "OutputRegistry.h"
#include "StudyOptions.h"

namespace glebix::batch {

// The core's names are this layer's words.
using namespace glebix::core;
using namespace glebix::invocation;

// What the options gather before the settings are applied in their order of
// precedence: the species file, then the --params files, then the --set texts.
struct Gathered {
    BatchOptions &options;
    std::vector<std::string> &problems;
    std::optional<std::string> speciesPath;
    std::vector<std::string> paramsPaths;
    std::vector<std::string> sets;
    std::optional<int> steps;  // --steps, as a number
    std::optional<std::string> designPath;
    std::vector<std::string> seen;  // the options given, by name
};

using ApplyOption = void (*)(Gathered &, const std::string &value);

// One option of the command line. A switch has no value name; the options without
// help are listed together on the last line of the usage text.
struct OptionEntry {
    const char *name;
    const char *alias;      // another spelling, or nullptr
    const char *valueName;  // nullptr: a switch
    const char *help;       // the catalogue key of its help, in lines separated by '\n'
    ApplyOption apply;
    const OutputKind *output = nullptr;  // an output's path, kept in its member of the options
    const OutputKind *tuned = nullptr;   // the output whose tuning option it is (OutputTuning)
};

// Every option, in the order of the usage text.
const std::vector<OptionEntry> &OptionTable();
// The option named `name` (or its alias); nullptr when there is none.
const OptionEntry *FindOption(const std::string &name);
// Takes the value of the option `entry` into what the options gather.
void ApplyEntry(const OptionEntry &entry, Gathered &g, const std::string &value);

}  // namespace glebix::batch
