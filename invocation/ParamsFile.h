// The --params file: NAME=VALUE lines with the names of the settings table; blank
// lines and lines whose first non-blank character is '#' are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Settings.h"

namespace glebix::invocation {

// Applies every acceptable line of `text` to `settings`, in order, and returns one
// problem per refused line, each "<source>:<line>: <what>". Blanks around the name
// and the value are ignored, a CR before the line end and a UTF-8 byte-order mark at
// the start too. Takes any bytes; never throws except for lack of memory.
std::vector<std::string> ParseParamsText(std::string_view text, std::string_view source, TSettings &settings);

// Reads the file at `path` (ReadInputFile) and applies it as ParseParamsText does. A
// file that cannot be read gives a single problem naming it.
std::vector<std::string> ReadParamsFile(const std::string &path, TSettings &settings);

}  // namespace glebix::invocation
