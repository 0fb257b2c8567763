// The result file: one line "count  compacted" per cell, CR LF line ends. It is
// written to a temporary file beside the target and renamed over it once complete,
// so a failed write never leaves a partial file or destroys an earlier result.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "AtomicFile.h"
#include "Conversions.h"
#include "Errors.h"
#include "ResultFile.h"
#include "Simul.h"

namespace glebix {

ResultWriteFunction ResultWrite = [](int fd, const void *data, std::size_t size) -> long {
    return static_cast<long>(::write(fd, data, size));
};

std::string ResultFileContents(const TPlot &plot) {
    std::string out;
    out.reserve(static_cast<std::size_t>(plot.Cells()) * ResultLineBytes);
    AppendResultRows(out, plot, 0, plot.Width);
    return out;
}

void AppendResultRows(std::string &out, const TPlot &plot, int first, int last) {
    char number[16];
    for (int i = first; i < last; ++i) {
        for (int j = 0; j < plot.Height; ++j) {
            auto [end, ec] = std::to_chars(number, number + sizeof number, plot.Density[i][j]);
            out.append(number, end);
            out += "  ";
            AppendTenths(out, plot.Env[i][j].Compacted);
            out += "\r\n";
        }
    }
}

namespace {

std::string WholeNumber(double v) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 0);
    return std::string(text, end);
}

}  // namespace

std::string ResultFileName(const std::string &base, std::int32_t inner, double middle, double outer) {
    return base + std::to_string(inner) + "a" + WholeNumber(middle) + "p" + WholeNumber(outer) + ".txt";
}

std::string ResultFileName() { return ResultFileName("RireVed", 1, 1.0, 1.0); }

std::string Simul::ResultFilePath(const std::string &base, std::int32_t inner, double middle, double outer) const {
    return Settings.Run.ResultDirectory + "/" + ResultFileName(base, inner, middle, outer);
}

std::string Simul::ResultFilePath() const { return Settings.Run.ResultDirectory + "/" + ResultFileName(); }

void WriteResultFileAt(const std::string &path, const TPlot &plot) {
    WriteFileAtomically(path, ResultFileContents(plot), ResultWrite);
}

void Simul::WriteResultFile() { WriteResultFileAt(ResultFilePath(), Plot); }

void Simul::WriteResultFile(const std::string &base, std::int32_t inner, double middle, double outer) {
    WriteResultFileAt(ResultFilePath(base, inner, middle, outer), Plot);
}

}  // namespace glebix
