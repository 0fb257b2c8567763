// Formatting of the result file, and the write call the writer uses (replaceable so
// that tests can make a write fail part-way).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Plot.h"

namespace glebix {

// Name of the result file of run <inner>, <middle>, <outer> with base name `base`:
// "<base><inner>a<middle>p<outer>.txt", the reals as whole numbers.
std::string ResultFileName(const std::string &base, std::int32_t inner, double middle, double outer);
// The name the program writes: every run is run 1, 1, 1 of base "RireVed".
std::string ResultFileName();

// About what one cell's line of the result file takes.
inline constexpr std::size_t ResultLineBytes = 16;

// The lines of the result file for `plot`, one per cell.
std::string ResultFileContents(const TPlot &plot);
// The lines of the plot's rows i from `first` to before `last` appended to `out`: the
// file is its rows in order, so a large plot's can be written a block at a time.
void AppendResultRows(std::string &out, const TPlot &plot, int first, int last);
// Replaces the file at `path` by the result file of `plot`, whole or not at all.
void WriteResultFileAt(const std::string &path, const TPlot &plot);

// write(2) by default; returns the count written or -1 with errno set.
using ResultWriteFunction = long (*)(int fd, const void *data, std::size_t size);
extern ResultWriteFunction ResultWrite;

}  // namespace glebix
