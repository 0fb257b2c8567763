// A table of results as the analyses read it: any CSV with a `point` column (from 1,
// in the design's order), the factors' columns and the metrics' columns; optionally a
// `replicate` column (several rows of one point are its replicates), a `step` column
// (one row per step of each run, as glebix-batch --table writes) and a `status`
// column (a row whose status is neither `ok` nor `completed` is a failed run). A
// metric's empty field, `NA` or `nan` is a missing value: that row failed for that
// metric. The file follows the design file's rules (blank and '#' lines skipped, a
// byte-order mark and CR line ends accepted, fields quoted with '"').
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glebix::analysis {

class ResultTable {
public:
    std::size_t Factors = 0, Metrics = 0;
    std::size_t PointCount = 0;           // the largest point of the table
    bool HasSteps = false;                // the table has a `step` column
    std::vector<double> FactorValues;     // point p (from 1) factor i at (p - 1) * Factors + i; NaN: absent
    std::vector<std::int64_t> PointLine;  // the line of each point's first row; 0: absent
    // One entry per row: its point, its step (0 without a step column) and its metrics
    // (row r's metric m at r * Metrics + m; NaN: failed or missing).
    std::vector<std::int32_t> RowPoint;
    std::vector<std::int64_t> RowStep;
    std::vector<double> RowMetrics;

    // The distinct steps of the rows, in increasing order.
    std::vector<std::int64_t> Steps() const;
};

struct ParsedTable {
    ResultTable Table;
    // "<source>:<line>: column <c>: ..." each, in the user's language; any problem
    // refuses the table.
    std::vector<std::string> Problems;
};

// Reads a table from its bytes, with the factors' and metrics' columns named. Refused,
// naming the line and the column: a missing `point`, factor or metric column; a point
// that is not a whole number from 1; a step that is not a whole number; a factor's
// value that is not a number (flags' on/off, true/false are 1 and 0); text in a
// metric's column; a point whose rows disagree on a factor's value. Never throws
// except for lack of memory.
ParsedTable ParseResultTable(std::string_view text, std::string_view source, const std::vector<std::string> &factors,
                             const std::vector<std::string> &metrics);

// A column of a table handed over by a front end (a DataFrame's, a data frame's):
// reals, whole numbers or texts, the one of its kind filled.
struct TableColumn {
    enum class Kind { Real, Whole, Text };
    std::string Name;
    Kind Type = Kind::Real;
    std::vector<double> Reals;
    std::vector<std::int64_t> Wholes;
    std::vector<std::string> Texts;
    std::size_t Size() const;
};

// The columns as the CSV text that ParseResultTable reads and glebix-batch --table
// writes: reals in shortest round-trip form (nan for a missing one, which the analysis
// takes as missing), whole numbers in decimal, texts quoted where needed (CsvField);
// rows up to the longest column, a shorter one's missing fields empty. Locale-free.
std::string TableText(const std::vector<TableColumn> &columns);

// One metric at one step, point by point (index p - 1): the number of valid rows, the
// mean of their values (NaN without any: the point failed or is absent) and the sum of
// their squared deviations from it.
struct PointValues {
    std::vector<double> Count, Mean, Squares;
    // Whether some point has two valid rows or more.
    bool Replicated() const;
};

// Every metric's values at `step` (any step without a step column), in metric order.
std::vector<PointValues> ValuesAtStep(const ResultTable &table, std::int64_t step);

}  // namespace glebix::analysis
