#include "Habitat.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Conversions.h"
#include "Errors.h"
#include "InitialFiles.h"
#include "InputFile.h"

namespace glebix {

namespace {

constexpr std::uint8_t NonHabitat = 0;
constexpr std::uint8_t HabitatCell = 1;

// A grid's habitat value: 1 or 0, written as any real of that value ("1", "1.0").
std::uint8_t HabitatValue(std::string_view token) {
    const auto value = ParseRealToken(token);
    if (value && *value == 1) return HabitatCell;
    if (value && *value == 0) return NonHabitat;
    throw GlebixError(EngineMessage("engine.habitat_value", {std::string(token)}));
}

// Whether the environment file's unnamed cells are no habitat in this run.
bool UnnamedSoilIsNonHabitat(const InitialSettings &in) {
    return in.EnvNoDataNonHabitat && in.EnvInitMode == EnvModeFile;
}

// Makes the cells the environment file `text` leaves unnamed no habitat: the file is
// read again into a plot whose compacted shares are all unnamed.
void TakeUnnamedSoil(std::string_view text, const std::string &path, TPlot &plot) {
    auto read = std::make_unique<TPlot>(plot.Width, plot.Height);
    std::fill_n(read->Env.Data(), read->Env.Size(), TCellEnv{std::nan(""), 0});
    ReadEnvironmentText(text, path, *read);
    for (std::size_t c = 0; c < read->Env.Size(); ++c)
        if (std::isnan(read->Env.Data()[c].Compacted)) plot.Habitat.Data()[c] = NonHabitat;
}

}  // namespace

bool UsesHabitatMask(const InitialSettings &in) { return !in.HabitatFilePath.empty() || UnnamedSoilIsNonHabitat(in); }

bool MaskMayVaryWith(const InitialSettings &in, std::string_view name) {
    return name == "HabitatFilePath" || name == "EnvNoDataNonHabitat" ||
           (in.EnvNoDataNonHabitat && name == "EnvInitMode");
}

std::optional<GridPlacement> ReadHabitatText(std::string_view text, const std::string &path, TPlot &plot) {
    if (!IsAsciiGrid(text))
        throw GlebixError(EngineMessage("engine.habitat_not_grid", {path}), ErrorContext{{}, path, 0, 0, {}});
    plot.Habitat = CellGrid<std::uint8_t>(plot.Width, plot.Height);  // nodata: no habitat
    CellGrid<std::uint8_t> &mask = plot.Habitat;
    return ReadAsciiGrid(text, path,
                         [&mask](int i, int j, std::string_view token) { mask[i][j] = HabitatValue(token); },
                         {plot.Width, plot.Height});
}

std::optional<GridPlacement> SetUpHabitat(const InitialSettings &in, const InputBytes *given, TPlot &plot) {
    std::optional<GridPlacement> placement;
    const bool unnamed = UnnamedSoilIsNonHabitat(in);
    // Read by setting, so that a fault names the setting and the file.
    auto withContext = [given](const char *setting, const std::string &path, auto read) {
        try {
            read(*InputFileBytes(path, given));
        } catch (GlebixError &e) {
            e.Context().Setting = setting;
            e.Context().Path = path;
            throw;
        }
    };
    if (!in.HabitatFilePath.empty()) {
        withContext("HabitatFilePath", in.HabitatFilePath,
                    [&](const std::string &text) { placement = ReadHabitatText(text, in.HabitatFilePath, plot); });
    } else if (unnamed) {
        plot.Habitat = CellGrid<std::uint8_t>(plot.Width, plot.Height);
        std::fill_n(plot.Habitat.Data(), plot.Habitat.Size(), HabitatCell);
    } else {
        plot.Habitat = CellGrid<std::uint8_t>(0, 0);
        return placement;
    }
    if (unnamed)
        withContext("EnvFilePath", in.EnvFilePath,
                    [&](const std::string &text) { TakeUnnamedSoil(text, in.EnvFilePath, plot); });
    for (std::size_t c = 0; c < plot.Habitat.Size(); ++c)
        if (plot.Habitat.Data()[c] == NonHabitat) plot.Density.Data()[c] = 0;
    return placement;
}

std::int64_t TakeOffNonHabitat(TPlot &plot) {
    std::int64_t lost = 0;
    std::int32_t *counts = plot.Density.Data();
    const std::uint8_t *mask = plot.Habitat.Data();
    for (std::size_t c = 0; c < plot.Habitat.Size(); ++c) {
        if (mask[c] != NonHabitat) continue;
        lost += counts[c];
        counts[c] = 0;
    }
    return lost;
}

}  // namespace glebix
