// The settings of one run, built as glebix-batch builds them: the defaults, then the
// species file's values, then named settings in order (the --set options, then a
// design point's row), each value checked as --set checks it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Settings.h"
#include "SpeciesFile.h"

namespace glebix::python {

// A named setting that was refused: an unknown name, or a value --set would refuse.
class SettingRefused : public std::runtime_error {
public:
    SettingRefused(const std::string &message, std::string name, bool unknown)
        : std::runtime_error(message), Name(std::move(name)), Unknown(unknown) {}
    std::string Name;
    bool Unknown;
};

using NamedTexts = std::vector<std::pair<std::string, std::string>>;

TSettings BuildRunSettings(const std::optional<SpeciesFileContents> &species, const NamedTexts &named);

}  // namespace glebix::python
