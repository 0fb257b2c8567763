#include "InitialFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Conversions.h"
#include "Errors.h"
#include "InputFile.h"
#include "TextReader.h"

namespace glebix {

namespace {

// A cell (i, j) outside the plot, with the range of both indices, or of each one when
// they differ.
EngineMessage CellOutsideMessage(std::int32_t i, std::int32_t j, const TPlot &plot) {
    if (plot.Width == plot.Height)
        return EngineMessage("engine.cell_outside", {std::to_string(i), std::to_string(j), std::to_string(plot.Width)});
    return EngineMessage("engine.cell_outside_oblong", {std::to_string(i), std::to_string(j),
                                                        std::to_string(plot.Width), std::to_string(plot.Height)});
}

// Raises `message` with the place of the token that starts at `offset`.
[[noreturn]] void ThrowAt(const EngineMessage &message, std::string_view text, const std::string &path,
                          std::size_t offset, std::string_view token, bool namesCell = false) {
    ErrorContext context;
    context.Path = path;
    context.NamesPlotCell = namesCell;
    LocateInText(context, text, offset, token);
    throw GlebixError(message, std::move(context));
}

// Hands each triple of `text` to `apply` with its zero-based row and column and its
// value token. The row and column must lie in the plot. Every fault names the line,
// the column and the token of the file where it lies.
template <typename Apply>
void ReadTriples(std::string_view text, const std::string &path, const TPlot &plot, Apply apply) {
    TextReader reader(text);
    constexpr std::size_t cut = MaxTripleTokenLength + 1;
    std::string tokens[3];  // row, column, value
    std::size_t starts[3] = {};
    for (;;) {
        for (int k = 0; k < 3; ++k) {
            if (!reader.ReadToken(tokens[k], cut)) {
                if (k == 0) return;
                // The file ends inside a triple: the place of its first member.
                ThrowAt(MsgBadNumber, text, path, starts[0], tokens[0]);
            }
            starts[k] = reader.TokenStart();
            if (tokens[k].size() > MaxTripleTokenLength) ThrowAt(MsgBadNumber, text, path, starts[k], tokens[k]);
        }
        const auto i = ParseWholeToken(tokens[0]);
        if (!i) ThrowAt(MsgBadNumber, text, path, starts[0], tokens[0]);
        const auto j = ParseWholeToken(tokens[1]);
        if (!j) ThrowAt(MsgBadNumber, text, path, starts[1], tokens[1]);
        for (int k = 0; k < 2; ++k) {
            const std::int32_t index = k == 0 ? *i : *j;
            if (index < 1 || index > (k == 0 ? plot.Width : plot.Height))
                ThrowAt(CellOutsideMessage(*i, *j, plot), text, path, starts[k], tokens[k], true);
        }
        try {
            apply(*i - 1, *j - 1, tokens[2]);
        } catch (const GlebixError &e) { ThrowAt(e.Message(), text, path, starts[2], tokens[2]); }
    }
}

}  // namespace

EngineMessage CompactedShareRangeMessage() {
    return EngineMessage("engine.compacted_range", {FormatPlainDecimal(MaxCompactedShare)});
}

namespace {

// A cell's value of the environment file: a real, its complement at least 0.
void SetEnvironment(TPlot &plot, int i, int j, std::string_view token) {
    const auto value = ParseRealToken(token);
    if (!value) ThrowBadNumber();
    if (!std::isfinite(*value)) ThrowFloatFault(MsgOverflow);
    if (std::abs(*value) > MaxCompactedShare) throw GlebixError(CompactedShareRangeMessage());
    plot.Env[i][j].Compacted = *value;
    plot.Env[i][j].Decompacted = std::max(0.0, 100.0 - *value);
}

void SetCount(TPlot &plot, int i, int j, std::string_view token) {
    const auto value = ParseWholeToken(token);
    if (!value) ThrowBadNumber();
    plot.Density[i][j] = *value;
}

// A grid's count: a whole number, or a real with a whole value ("12.0"), as programs
// write a grid of reals.
void SetGridCount(TPlot &plot, int i, int j, std::string_view token) {
    if (const auto whole = ParseWholeToken(token)) {
        plot.Density[i][j] = *whole;
        return;
    }
    const auto value = ParseRealToken(token);
    if (!value) ThrowBadNumber();
    if (*value != std::floor(*value)) throw GlebixError(MsgCountNotWhole);
    if (*value < INT32_MIN || *value > INT32_MAX) ThrowBadNumber();
    plot.Density[i][j] = static_cast<std::int32_t>(*value);
}

}  // namespace

std::optional<GridPlacement> ReadEnvironmentText(std::string_view text, const std::string &path, TPlot &plot) {
    auto set = [&plot](int i, int j, std::string_view token) { SetEnvironment(plot, i, j, token); };
    if (IsAsciiGrid(text)) return ReadAsciiGrid(text, path, set, {plot.Width, plot.Height});
    ReadTriples(text, path, plot, set);
    return std::nullopt;
}

std::optional<GridPlacement> ReadDistributionText(std::string_view text, const std::string &path, TPlot &plot) {
    if (IsAsciiGrid(text))
        return ReadAsciiGrid(text, path, [&plot](int i, int j, std::string_view t) { SetGridCount(plot, i, j, t); },
                             {plot.Width, plot.Height});
    ReadTriples(text, path, plot, [&plot](int i, int j, std::string_view t) { SetCount(plot, i, j, t); });
    return std::nullopt;
}

void ReadEnvironmentFile(const std::string &path, TPlot &plot) { ReadEnvironmentText(ReadInputFile(path), path, plot); }

void ReadDistributionFile(const std::string &path, TPlot &plot) {
    ReadDistributionText(ReadInputFile(path), path, plot);
}

}  // namespace glebix
