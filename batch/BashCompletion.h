// The bash completion of glebix-batch, made from its option table and its settings
// table: the options, the setting names after --set, folders after an option whose
// value is a folder and file names after one whose value is a file.
#pragma once

#include <string>

namespace glebix::batch {

// The script, for /usr/share/bash-completion/completions/glebix-batch.
std::string BashCompletionText();

}  // namespace glebix::batch
