// A design: the settings a study varies and their values at each point, read from a
// CSV file made in R, Python or a spreadsheet. The first line names settings (the
// names of the settings table); each later line is one point, numbered from 1 in file
// order. Blank lines and lines whose first non-blank character is '#' are skipped; a
// UTF-8 byte-order mark and CR line ends are accepted. A field may be quoted with '"'
// ("" inside for a quote), so that paths may hold commas; blanks around a field are
// dropped. An empty field leaves the setting as the point would otherwise have it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Settings.h"

namespace glebix::batch {

struct DesignPoint {
    std::int64_t Line = 0;                           // line of the file, from 1
    std::vector<std::optional<std::string>> Values;  // one per column; empty: unchanged
};

struct Design {
    std::vector<std::string> Columns;  // setting names, in file order
    std::vector<DesignPoint> Points;   // point p is Points[p - 1]
};

struct ParsedDesign {
    Design Result;
    std::vector<std::string> Problems;  // "<source>:<line>: ..." each; any problem refuses the file
};

// Reads a design from its bytes. Every value is checked as --set checks it, and every
// problem names the line and the column. Takes any bytes; never throws except for lack
// of memory.
ParsedDesign ParseDesignText(std::string_view text, std::string_view source);

// Splits one line of CSV into its fields; the problem when the quotes are not closed
// or text follows a closing quote.
std::optional<std::string> SplitCsvLine(std::string_view line, std::vector<std::string> &fields);

// Applies point `point` (from 1) on top of `settings`: the values were checked when
// the design was read.
void ApplyDesignPoint(const Design &design, int point, TSettings &settings);

// The values of the design's columns as the point's run uses them, in column order.
std::vector<std::string> DesignValues(const Design &design, const TSettings &pointSettings);

}  // namespace glebix::batch
