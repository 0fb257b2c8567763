// The factors of a sensitivity analysis or of a calibration: each a name and the range
// it is sampled in, read from a CSV file `name,low,high[,scale]` (the scale `linear`,
// the default, or `log`). A factor named as a setting has its range checked as --set
// checks a value; other names are allowed for sampling and analysis alone (a design
// holding them is not one that --design runs). The file follows the design file's
// rules: blank lines and '#' lines skipped, a byte-order mark and CR line ends
// accepted, fields quoted with '"'.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Factor.h"
#include "SettingsRegistry.h"

namespace glebix::analysis {

// One type with the calibration's prior (rounded by ValueAt).
using glebix::Factor;
using glebix::FactorScale;

struct ParsedFactors {
    std::vector<Factor> Factors;
    // "<source>:<line>: column <c>: ..." each, in the user's language; any problem
    // refuses the file.
    std::vector<std::string> Problems;
};

// Reads a factors file from its bytes. Refused, each problem naming the line and the
// column: a missing or unknown column, low >= high, an unknown scale, a log scale with
// low <= 0, a number that is not a complete finite real, a name given twice, a name
// that is a setting but takes no number (a path, the edges), a bound that --set would
// refuse for that setting (a whole setting's bound that is not a whole number in its
// range), and a file without factors. Takes any bytes; never throws except for lack
// of memory.
ParsedFactors ParseFactorsText(std::string_view text, std::string_view source);

// One factor as a front end gives it: a row of a data frame, an entry of a dict or of
// a named list. `Scale` is "linear", "log" or empty (linear).
struct FactorRow {
    std::string Name;
    double Low = 0;
    double High = 0;
    std::string Scale;
};

// The factors of `rows`, checked as ParseFactorsText checks a file's lines, each
// problem naming its factor ("factor alpha: column low: ...") instead of a line.
ParsedFactors FactorsFromRows(const std::vector<FactorRow> &rows);

// The factors file `name,low,high,scale` that ParseFactorsText reads back into
// `factors` (bounds in shortest round-trip form).
std::string FactorsText(const std::vector<Factor> &factors);

// The factor's scale applied: log(x) for a log factor, x itself for a linear one.
double OnScale(const Factor &factor, double x);

// The value at `u` in [0, 1] of the factor's range, on its scale: low at 0, high at 1.
// A whole factor's range is widened by half a unit at each end and the value rounded
// to the nearest whole number (halves to even) within [low, high], so that every whole
// number of the range has the same share of [0, 1].
double ValueAt(const Factor &factor, double u);

// A value as a design records it: whole numbers in decimal, reals in shortest
// round-trip form ("0.35", "1e-05"); locale-free.
std::string ValueText(const Factor &factor, double value);

}  // namespace glebix::analysis
