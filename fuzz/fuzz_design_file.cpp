// Fuzzes the batch tool's design reader. Any bytes are taken without a crash or an
// exception; every problem names its source; and a design that was accepted, written
// back as CSV with the study table's quoting, reads again to the same points.
#include <string>
#include <string_view>

#include "DesignFile.h"
#include "FuzzFiles.h"
#include "StudyTable.h"

using namespace glebix;
using namespace glebix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const core::ParsedDesign parsed = core::ParseDesignText(text, "fuzz");
    for (const std::string &p : parsed.Problems) Require(StartsWith(p, "fuzz"), "a problem does not name its source");
    if (!parsed.Problems.empty()) return 0;
    const core::Design &design = parsed.Result;
    Require(design.PointCount() > 0, "a design without points was accepted");

    std::string written;
    for (std::size_t c = 0; c < design.Columns.size(); ++c)
        written += (c ? "," : "") + core::CsvField(design.Columns[c]);
    written += '\n';
    const int points = static_cast<int>(design.PointCount());
    for (int point = 1; point <= points; ++point) {
        for (std::size_t c = 0; c < design.Columns.size(); ++c) {
            // An empty line would be skipped: a point without values writes "" fields.
            written += c ? "," : "";
            const std::string_view value = design.Value(point, c);
            written += value.empty() ? "\"\"" : core::CsvField(value);
        }
        written += '\n';
    }
    const core::ParsedDesign again = core::ParseDesignText(written, "again");
    Require(again.Problems.empty(), "an accepted design cannot be read back");
    Require(again.Result.Columns == design.Columns, "the columns changed on reading back");
    Require(again.Result.PointCount() == design.PointCount(), "the number of points changed on reading back");
    for (int point = 1; point <= points; ++point)
        for (std::size_t c = 0; c < design.Columns.size(); ++c)
            Require(again.Result.Value(point, c) == design.Value(point, c), "a value changed on reading back");
    return 0;
}
