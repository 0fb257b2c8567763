// The initial environment and initial distribution files: triples "row column value"
// separated by blanks, read from the file's bytes into a plot. A cell the file does
// not name keeps what the plot held; a cell named twice takes its last value.
#pragma once

#include <string>
#include <string_view>

#include "Plot.h"

namespace glebix {

// Longest token a triple member may have; a longer one cannot be a number of a file
// that a person or a program writes, and is refused as such.
inline constexpr std::size_t MaxTripleTokenLength = 400;

// Sets the compacted share of each named cell to its real value and the decompacted
// share to its complement (0 at least). `path` only names the file in the error's
// context, which also gives the line, the column and the refused token.
// Raises GlebixError: "Saisie numérique incorrecte" for a token that is not a number
// of its kind or a file that ends inside a triple, the overflow message for a value
// beyond the doubles, "Case hors de la parcelle : ligne R, colonne C de la parcelle…"
// for a row or column outside 1..50 (the context then says "ligne du fichier").
// The cells read before the fault keep their new values.
void ReadEnvironmentText(std::string_view text, const std::string &path, TPlot &plot);
// Sets the count of each named cell to its whole value; faults as above.
void ReadDistributionText(std::string_view text, const std::string &path, TPlot &plot);

// The same, reading the file at `path` whole first (ReadInputFile).
void ReadEnvironmentFile(const std::string &path, TPlot &plot);
void ReadDistributionFile(const std::string &path, TPlot &plot);

}  // namespace glebix
