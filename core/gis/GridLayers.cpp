#include "GridLayers.h"

#include <climits>
#include <cmath>
#include <memory>

#include "InitialFiles.h"
#include "InitialSources.h"
#include "InputFile.h"
#include "RasterInput.h"
#include "Simul.h"

namespace glebix::gis {

namespace {

// Line k from the top holds column index j = Height - k; along it, row index i from 1.
template <typename Value, typename Cell>
std::vector<Value> Layer(const TPlot &plot, Cell cell) {
    std::vector<Value> out(static_cast<std::size_t>(plot.Width) * plot.Height);
    for (int line = 0; line < plot.Height; ++line)
        for (int column = 0; column < plot.Width; ++column)
            out[static_cast<std::size_t>(line) * plot.Width + column] = cell(column, plot.Height - 1 - line);
    return out;
}

// The cells the initial file at `path` names: it is read again into a plot that holds
// a mark in every cell, and the cells that lost it were named. Empty when it cannot be
// read again.
template <typename Read, typename Unnamed>
std::vector<std::uint8_t> Named(const Simul &simul, const std::string &path, Read read, Unnamed unnamed) {
    auto plot = std::make_unique<TPlot>(simul.Plot.Width, simul.Plot.Height);
    for (auto &&row : plot->Env)
        for (auto &cell : row) cell.Compacted = std::nan("");
    for (auto &&row : plot->Density)
        for (auto &count : row) count = INT32_MIN;
    // A resumed run holds no inputs: a raster is read as its grid text, as at set-up.
    InputBytes readNow;
    const InputBytes *given = simul.GivenInputs.get();
    if (!given) {
        ReadInitialInputOnce(readNow, path);
        given = &readNow;
    }
    try {
        read(*InputFileBytes(path, given), path, *plot);
    } catch (const std::exception &) {  // a resumed run's file may be gone: nothing is known
        return {};
    }
    return Layer<std::uint8_t>(*plot, [&](int i, int j) { return unnamed(*plot, i, j) ? 0 : 1; });
}

}  // namespace

std::vector<std::int32_t> DensityLayer(const TPlot &plot) {
    return Layer<std::int32_t>(plot, [&plot](int i, int j) { return plot.Density[i][j]; });
}

std::vector<double> CompactedLayer(const TPlot &plot) {
    return Layer<double>(plot, [&plot](int i, int j) { return plot.Env[i][j].Compacted; });
}

std::vector<double> DecompactedLayer(const TPlot &plot) {
    return Layer<double>(plot, [&plot](int i, int j) { return plot.Env[i][j].Decompacted; });
}

NamedCells NamedByFiles(const Simul &simul) {
    NamedCells out;
    for (const InitialSource &source : ReadInitialSources(simul.Settings.Initial))
        if (IsSoilMap(source.grid))
            continue;
        else if (source.grid == InitialGrid::Environment)
            out.Environment = Named(simul, source.path, source.readText,
                                    [](const TPlot &p, int i, int j) { return std::isnan(p.Env[i][j].Compacted); });
        else if (source.grid == InitialGrid::Distribution)
            out.Distribution = Named(simul, source.path, source.readText,
                                     [](const TPlot &p, int i, int j) { return p.Density[i][j] == INT32_MIN; });
    return out;
}

std::vector<std::uint8_t> NamedLayer(const NamedCells &named, std::size_t cells) {
    if (!named.Environment.empty()) return named.Environment;
    if (!named.Distribution.empty()) return named.Distribution;
    return std::vector<std::uint8_t>(cells, 1);
}

}  // namespace glebix::gis
