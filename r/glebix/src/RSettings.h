// Settings from R: R values arrive as texts (see setting_text() on the R side) and are
// checked and stored exactly as the batch tool's --set does.
#pragma once

#include <string>
#include <vector>

#include "Settings.h"

namespace glebix::r {

// Default settings, then the species file (when `speciesPath` is not empty), then
// each name = value in order. Raises GlebixError naming the setting or the file.
TSettings BuildSettings(const std::string &speciesPath, const std::vector<std::string> &names,
                        const std::vector<std::string> &values);

// Applies name = value to `settings` or raises GlebixError naming the setting.
void ApplyOrRaise(const std::string &name, const std::string &value, TSettings &settings);

}  // namespace glebix::r
