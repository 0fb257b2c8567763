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

namespace glebix::core {

// The points are held end to end, a few bytes beyond their text each, so that a
// design of a million points takes little more memory than its file.
class Design {
public:
    std::vector<std::string> Columns;  // setting names, in file order

    std::size_t PointCount() const { return lines_.size(); }
    // The line of the file of point `point` (from 1).
    std::int64_t Line(int point) const { return lines_.at(static_cast<std::size_t>(point - 1)); }
    // The text of point `point` (from 1) in column `column`; empty: unchanged.
    std::string_view Value(int point, std::size_t column) const;
    // Appends a point, one value per column. False when the design would outgrow
    // what it can hold (4 GiB of values).
    bool AddPoint(std::int64_t line, const std::vector<std::string> &values);
    // Makes room for at most `points` points of `bytes` bytes of values in all, so that
    // a large design is not copied as it grows.
    void Reserve(std::size_t points, std::size_t bytes);
    // Gives back the room reserved for more points.
    void Trim();

private:
    std::string text_;                 // every value, end to end
    std::vector<std::uint32_t> ends_;  // where each value ends in text_, point by point
    std::vector<std::uint32_t> lines_;
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

}  // namespace glebix::core
