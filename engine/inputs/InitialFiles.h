// The initial environment and initial distribution files: triples "row column value"
// separated by blanks, or an ESRI ASCII grid (AsciiGrid.h), read from the file's bytes
// into a plot. A cell the file does not name (or a grid's nodata cell) keeps what the
// plot held; a cell named twice takes its last value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AsciiGrid.h"
#include "EngineMessages.h"
#include "Plot.h"

namespace glebix {

// Longest token a triple member may have; a longer one cannot be a number of a file
// that a person or a program writes, and is refused as such.
inline constexpr std::size_t MaxTripleTokenLength = 400;

// The largest compacted share a file may give, in absolute value. Up to it, a cell's
// capacity (its share over C plus a guard of 0.00001) stays within 64 bits, below
// 9.2e18, for every C from 0 on; a far larger share would end the first step with a
// floating-point fault that names no cell.
inline constexpr double MaxCompactedShare = 1e13;

// "taux de compaction hors d'échelle : de -<max> à <max> %", MaxCompactedShare
// written as a plain decimal.
EngineMessage CompactedShareRangeMessage();

// Sets the compacted share of each named cell to its real value and the decompacted
// share to its complement (0 at least). `path` only names the file in the error's
// context, which also gives the line, the column and the refused token.
// Raises GlebixError: "Saisie numérique incorrecte" for a token that is not a number
// of its kind or a file that ends inside a triple, the overflow message for a value
// beyond the doubles, CompactedShareRangeMessage for a compacted share beyond
// MaxCompactedShare, "Case hors de la parcelle : ligne R, colonne C de la parcelle…"
// for a row or column outside 1..50 (the context then says "ligne du fichier").
// The cells read before the fault keep their new values. Returns where a grid lay;
// empty for a triples file.
std::optional<GridPlacement> ReadEnvironmentText(std::string_view text, const std::string &path, TPlot &plot);
// Sets the count of each named cell to its whole value; faults as above.
std::optional<GridPlacement> ReadDistributionText(std::string_view text, const std::string &path, TPlot &plot);

// The same, reading the file at `path` whole first (ReadInputFile).
void ReadEnvironmentFile(const std::string &path, TPlot &plot);
void ReadDistributionFile(const std::string &path, TPlot &plot);

}  // namespace glebix
