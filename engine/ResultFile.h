// Formatting of the result file, and the write call the writer uses (replaceable so
// that tests can make a write fail part-way).
#pragma once

#include <cstddef>
#include <string>

#include "Plot.h"

namespace glebix {

// Appends `value` with one decimal, rounded half away from zero on its exact value
// (5.25 -> "5.3", 0.04 -> "0.0", 100 -> "100.0"). A value that rounds to zero is
// written without a sign.
void AppendTenths(std::string &out, double value);

// The 2500 lines of the result file for `plot`.
std::string ResultFileContents(const TPlot &plot);

// write(2) by default; returns the count written or -1 with errno set.
using ResultWriteFunction = long (*)(int fd, const void *data, std::size_t size);
extern ResultWriteFunction ResultWrite;

}  // namespace glebix
