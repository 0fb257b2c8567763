#include "InitialFiles.h"

#include <algorithm>
#include <cmath>

#include "Conversions.h"
#include "Errors.h"
#include "InputFile.h"
#include "TextReader.h"

namespace glebix {

namespace {

// Hands each triple of `text` to `apply` with its zero-based row and column and its
// value token. The row and column must lie in 1..GridSide.
template <typename Apply>
void ReadTriples(std::string_view text, const std::string &path, Apply apply) {
    TextReader reader(text);
    constexpr std::size_t cut = MaxTripleTokenLength + 1;
    std::string row, column, value;
    for (;;) {
        if (!reader.ReadToken(row, cut)) return;
        if (!reader.ReadToken(column, cut) || !reader.ReadToken(value, cut))
            ThrowBadNumber();  // the file ends inside a triple
        if (row.size() > MaxTripleTokenLength || column.size() > MaxTripleTokenLength ||
            value.size() > MaxTripleTokenLength)
            ThrowBadNumber();
        const auto i = ParseWholeToken(row);
        const auto j = ParseWholeToken(column);
        if (!i || !j) ThrowBadNumber();
        if (*i < 1 || *i > GridSide || *j < 1 || *j > GridSide) {
            throw GlebixError("Case hors de la parcelle dans le fichier « " + path + " » : ligne " +
                              std::to_string(*i) + ", colonne " + std::to_string(*j) +
                              " (les deux doivent aller de 1 à " + std::to_string(GridSide) + ")");
        }
        apply(*i - 1, *j - 1, value);
    }
}

}  // namespace

void ReadEnvironmentText(std::string_view text, const std::string &path, TPlot &plot) {
    ReadTriples(text, path, [&plot](int i, int j, const std::string &token) {
        const auto value = ParseRealToken(token);
        if (!value) ThrowBadNumber();
        if (!std::isfinite(*value)) ThrowFloatFault(MsgOverflow);
        plot.Env[i][j].Compacted = *value;
        plot.Env[i][j].Decompacted = std::max(0.0, 100.0 - *value);
    });
}

void ReadDistributionText(std::string_view text, const std::string &path, TPlot &plot) {
    ReadTriples(text, path, [&plot](int i, int j, const std::string &token) {
        const auto value = ParseWholeToken(token);
        if (!value) ThrowBadNumber();
        plot.Density[i][j] = *value;
    });
}

void ReadEnvironmentFile(const std::string &path, TPlot &plot) { ReadEnvironmentText(ReadInputFile(path), path, plot); }

void ReadDistributionFile(const std::string &path, TPlot &plot) {
    ReadDistributionText(ReadInputFile(path), path, plot);
}

}  // namespace glebix
