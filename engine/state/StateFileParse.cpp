#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "Conversions.h"
#include "Errors.h"
#include "Habitat.h"
#include "EventsState.h"
#include "InitialSources.h"
#include "SettingsRegistry.h"
#include "Sha256.h"
#include "StateFile.h"
#include "StateLines.h"
#include "StateReach.h"
#include "StateValues.h"

namespace glebix {

namespace {

using state::AppendValue;
using state::CheckedText;
using state::LineCursor;
using state::ParseNumber;
using state::ParseValue;

// The items of one kind ("setting", "species"), in the order they were written; each
// item's name, text and value go to `check` once read, which fails on the item's line.
template <typename Visitor, typename Check>
void ReadItems(LineCursor &lines, const char *kind, Visitor visitAll, Check check) {
    visitAll([&lines, kind, &check](std::string_view name, auto &value) {
        const std::string key = std::string(kind) + " " + std::string(name);
        const std::string_view written = lines.Keyed(key);
        if (!ParseValue(written, value)) lines.Fail(EngineMessage("engine.state_unreadable_value", {key}));
        check(name, CheckedText(written, value));
    });
}

// The species values as the state file writes them, in file order.
std::vector<std::string> SpeciesTexts(const RunSpecies &species) {
    std::vector<std::string> texts;
    VisitRunSpecies(species, [&texts](std::string_view, const auto &value) {
        std::string text;
        AppendValue(text, value);
        texts.push_back(std::move(text));
    });
    return texts;
}

// The text of one "setting NAME VALUE" line into its member, checked by `checkSetting`.
// False for a name the registry does not know.
bool ReadSetting(LineCursor &lines, std::string_view name, std::string_view written, TSettings &settings,
                 SettingCheck checkSetting) {
    bool known = false;
    VisitSettings(settings, [&](const SettingRow &row, auto &value) {
        if (row.name != name) return;
        known = true;
        if (!ParseValue(written, value))
            lines.Fail(EngineMessage("engine.state_unreadable_value", {"setting " + std::string(name)}));
        if (auto problem = checkSetting(row.name, CheckedText(written, value))) lines.Fail(*problem);
    });
    return known;
}

// The settings are read by name, in any order. A setting that the file's version did not
// record yet keeps its default, which is how runs went before the setting existed; one
// that the version records must be there.
void ReadSettings(LineCursor &lines, int version, TSettings &settings, SettingCheck checkSetting) {
    constexpr std::string_view key = "setting";
    std::vector<std::string> seen;
    while (lines.NextBegins(std::string(key) + " ")) {
        const std::string_view rest = lines.Keyed(key);
        const auto blank = rest.find(' ');
        const std::string name(rest.substr(0, blank));
        if (blank == std::string_view::npos) lines.Fail(EngineMessage("engine.state_no_value", {"setting " + name}));
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            lines.Fail(EngineMessage("engine.state_twice", {"setting " + name}));
        if (!ReadSetting(lines, name, rest.substr(blank + 1), settings, checkSetting))
            lines.Fail(EngineMessage("engine.state_unknown_setting", {name}));
        seen.push_back(name);
    }
    for (const SettingRow &row : SettingRows())
        if (row.firstStateVersion <= version && !row.omittedWhenDefault &&
            std::find(seen.begin(), seen.end(), row.name) == seen.end())
            lines.Fail(EngineMessage("engine.state_missing", {"setting " + std::string(row.name)}));
}

// The shape the settings read give, or a failure on the line read last.
PlotShape ShapeRead(LineCursor &lines, const TSettings &settings) {
    try {
        return PlotShapeOf(settings.Plot);
    } catch (const GlebixError &e) { lines.Fail(e.Message()); }
}

// The species values, which must be the ones set-up takes from `settings`.
void ReadSpecies(LineCursor &lines, const TSettings &settings, RunSpecies &species) {
    std::vector<std::string> expected;
    try {
        expected = SpeciesTexts(SpeciesTakenFrom(settings.Species));
    } catch (const GlebixError &e) { lines.Fail(EngineMessage("engine.state_species", {e.Message()})); }
    std::size_t k = 0;
    ReadItems(
        lines, "species", [&species](auto visit) { VisitRunSpecies(species, visit); },
        [&lines, &expected, &k](std::string_view name, std::string_view text) {
            if (text != expected[k++])
                lines.Fail(EngineMessage("engine.state_species_value", {text, name, expected[k - 1]}));
        });
}

std::uint32_t ReadUnsigned(LineCursor &lines, const char *key) {
    std::uint32_t v = 0;
    if (!ParseNumber(lines.Keyed(key), v)) lines.Fail(EngineMessage("engine.state_unreadable_value", {key}));
    return v;
}

std::int32_t ReadStepNumber(LineCursor &lines, const char *key) {
    std::int32_t v = 0;
    if (!ParseNumber(lines.Keyed(key), v) || v < 0) lines.Fail(EngineMessage("engine.state_unreadable_value", {key}));
    return v;
}

// Three whole numbers or two (chart_cell, plot_extent), separated by single blanks.
template <std::size_t N>
void ReadNumbers(LineCursor &lines, const char *key, std::int32_t (&values)[N]) {
    std::string_view text = lines.Keyed(key);
    for (std::size_t k = 0; k < N; ++k) {
        const auto blank = k + 1 < N ? text.find(' ') : text.size();
        if (blank == std::string_view::npos || !ParseNumber(text.substr(0, blank), values[k]))
            lines.Fail(EngineMessage("engine.state_unreadable_values", {key}));
        text.remove_prefix(std::min(text.size(), blank + 1));
    }
}

// A grid's placement, which only a run started from an initial file has.
std::optional<GridPlacement> ReadPlacement(LineCursor &lines, const InitialSettings &initial) {
    std::string_view text = lines.Keyed("grid_placement");
    if (text == "none") return std::nullopt;
    double values[3];
    for (double &v : values) {
        const auto blank = &v != &values[2] ? text.find(' ') : text.size();
        if (blank == std::string_view::npos || !ParseNumber(text.substr(0, blank), v) || !std::isfinite(v))
            lines.Fail(EngineMessage("engine.state_unreadable_placement", {lines.Current()}));
        text.remove_prefix(std::min(text.size(), blank + 1));
    }
    if (!(values[2] > 0)) lines.Fail(MessageKey("engine.state_cell_size"));
    const std::vector<InitialSource> read = ReadInitialSources(initial);
    if (std::none_of(read.begin(), read.end(), [](const InitialSource &s) { return !IsSoilMap(s.grid); }))
        lines.Fail(MessageKey("engine.state_placement_without_file"));
    return GridPlacement{values[0], values[1], values[2]};
}

// A grid's lines; `cell` reads one value and returns false for a value it cannot read,
// or fails on the line for one beyond reach.
template <typename Cell>
void ReadGrid(LineCursor &lines, const char *name, const TPlot &plot, Cell cell) {
    if (lines.Next(name) != name) lines.Fail(EngineMessage("engine.state_expected", {name}));
    for (int i = 0; i < plot.Width; ++i) {
        std::string_view text = lines.Next(name);
        for (int j = 0; j < plot.Height; ++j) {
            const auto blank = j + 1 < plot.Height ? text.find(' ') : text.size();
            if (blank == std::string_view::npos || !cell(text.substr(0, blank), i, j))
                lines.Fail(EngineMessage("engine.state_grid_width", {name, std::to_string(plot.Height)}));
            text.remove_prefix(std::min(text.size(), blank + 1));
        }
    }
}

// The soil maps that the settings name, whose values the file keeps (version 3 on;
// an older file has none). Every value finite, as set-up reads them.
void ReadSoilMapGrids(LineCursor &lines, int version, const InitialSettings &in, TPlot &plot) {
    if (version < StateFileExtensionsVersion) return;
    const std::size_t cells = static_cast<std::size_t>(plot.Cells());
    for (const auto &[name, path, map] :
         {std::tuple{"compaction_c_map", &in.CompactionCMapPath, &plot.Soil.CompactionC},
          std::tuple{"decompaction_d_map", &in.DecompactionDMapPath, &plot.Soil.DecompactionD}}) {
        if (path->empty()) continue;
        map->assign(cells, 0.0);
        double *values = map->data();
        const int height = plot.Height;
        ReadGrid(lines, name, plot, [values, height](std::string_view t, int i, int j) {
            double &v = values[static_cast<std::size_t>(i) * height + j];
            return ParseNumber(t, v) && std::isfinite(v);
        });
    }
}

void ReadPlot(LineCursor &lines, const ReachableState &reach, TPlot &plot) {
    auto fail = [&lines](const std::optional<EngineMessage> &problem) {
        if (problem) lines.Fail(*problem);
        return true;
    };
    ReadGrid(lines, "density", plot, [&](std::string_view t, int i, int j) {
        return ParseNumber(t, plot.Density[i][j]) && fail(reach.CountProblem(i + 1, j + 1, plot.Density[i][j]));
    });
    ReadGrid(lines, "compacted", plot,
             [&plot](std::string_view t, int i, int j) { return ParseNumber(t, plot.Env[i][j].Compacted); });
    ReadGrid(lines, "decompacted", plot, [&](std::string_view t, int i, int j) {
        TCellEnv &env = plot.Env[i][j];
        return ParseNumber(t, env.Decompacted) &&
               fail(reach.SharesProblem(i + 1, j + 1, env.Compacted, env.Decompacted));
    });
}

// The habitat mask: 1 or 0 a cell, and no individual off the habitat.
void ReadHabitat(LineCursor &lines, TPlot &plot) {
    plot.Habitat = CellGrid<std::uint8_t>(plot.Width, plot.Height);
    ReadGrid(lines, "habitat", plot, [&](std::string_view t, int i, int j) {
        if (t != "0" && t != "1") return false;
        plot.Habitat[i][j] = t == "1" ? 1 : 0;
        if (t == "0" && plot.Density[i][j] != 0)
            lines.Fail(EngineMessage("engine.state_habitat_occupied", {std::to_string(i + 1), std::to_string(j + 1),
                                                                       std::to_string(plot.Density[i][j])}));
        return true;
    });
}

// The first line, then the checksum: what a file is and whether it is whole come
// before what it says. Returns the body that the checksum covers.
std::string_view CheckEnvelope(std::string_view text, const std::string &path, std::string &checksum, int &version) {
    const ErrorContext where{{}, path, 0, 0, {}};
    const std::string magic = std::string(StateFileMagic) + " ";
    const std::string_view first = text.substr(0, text.find('\n'));
    if (first.substr(0, magic.size()) != magic)
        throw GlebixError(EngineMessage("engine.state_not_state", {magic + std::to_string(StateFileVersion)}), where);
    if (!ParseNumber(first.substr(magic.size()), version) || version < 1)
        throw GlebixError(EngineMessage("engine.state_version_unread", {first}), where);
    if (version > StateFileVersion)
        throw GlebixError(
            EngineMessage("engine.state_version_newer", {std::to_string(version), std::to_string(StateFileVersion)}),
            where);
    const std::string_view key = "sha256 ";
    const auto lastStart = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string_view::npos;
    const std::string_view last = lastStart == std::string_view::npos ? std::string_view() : text.substr(lastStart + 1);
    if (text.back() != '\n' || last.size() != key.size() + 65 || last.substr(0, key.size()) != key)
        throw GlebixError(MessageKey("engine.state_truncated"), where);
    const std::string_view body = text.substr(0, lastStart + 1);
    checksum = std::string(last.substr(key.size(), 64));
    if (Sha256Hex(body) != checksum) throw GlebixError(MessageKey("engine.state_altered"), where);
    return body.substr(first.size() + 1);
}

// The chart cell, the seeds, the steps and the generator state, each as set-up and
// the steps leave them.
void ReadRunPlace(LineCursor &lines, const PlotShape &shape, SavedRun &run) {
    std::int32_t chart[2];
    ReadNumbers(lines, "chart_cell", chart);
    run.ChartCell = TakenChartCell(run.Settings.Run, shape);
    if (chart[0] != run.ChartCell.I || chart[1] != run.ChartCell.J)
        lines.Fail(EngineMessage("engine.state_chart_cell", {lines.Current()}));
    run.MasterSeed = ReadUnsigned(lines, "master_seed");
    run.RunSeed = ReadUnsigned(lines, "run_seed");
    run.Step = ReadStepNumber(lines, "step");
    run.StepCount = ReadStepNumber(lines, "step_count");
    if (run.StepCount != FieldToInteger(run.Settings.Run.StepCount))
        lines.Fail(EngineMessage("engine.state_step_count", {lines.Current()}));
    if (run.Step > run.StepCount) lines.Fail(MessageKey("engine.state_step_beyond"));
    run.Generator = ReadUnsigned(lines, "generator");
    // Every generator state follows some other, so only set-up's is known.
    const std::uint64_t cells = std::uint64_t(shape.Width) * std::uint64_t(shape.Height);
    if (run.Step == 0 && run.Generator != AdvanceRandom(run.RunSeed, SetUpDraws(run.Settings.Initial, cells)))
        lines.Fail(EngineMessage("engine.state_generator", {lines.Current()}));
}

// The run's schedule, which a state has when, and only when, its settings name one.
void ReadEvents(LineCursor &lines, int version, const PlotShape &shape, SettingCheck checkSetting, SavedRun &run) {
    const bool named = !run.Settings.Run.EventsFilePath.empty();
    if (version >= EventsStateVersion && lines.NextBegins("events "))
        run.Events = ReadEventsSection(lines, shape.Width, shape.Height, checkSetting);
    if (named && !run.Events) lines.Fail(EngineMessage("engine.state_expected", {"events"}));
    if (!named && run.Events) lines.Fail(EngineMessage("engine.state_unknown_setting", {"events"}));
}

}  // namespace

SavedRun ParseStateFile(std::string_view text, const std::string &path, SettingCheck checkSetting) {
    SavedRun run;
    int version = 0;
    LineCursor lines(CheckEnvelope(text, path, run.Checksum, version), path);
    ReadSettings(lines, version, run.Settings, checkSetting);
    const PlotShape shape = ShapeRead(lines, run.Settings);
    ReadSpecies(lines, run.Settings, run.Species);
    ReadRunPlace(lines, shape, run);
    run.InputGridPlacement = ReadPlacement(lines, run.Settings.Initial);
    // From the habitat's version on, the CRS line is there when the CRS was known.
    const bool crsLine =
        version == StateFileCrsVersion || (version > StateFileCrsVersion && lines.NextBegins("grid_crs "));
    if (run.InputGridPlacement && crsLine) {
        std::string crs;
        if (!ParseValue(lines.Keyed("grid_crs"), crs))
            lines.Fail(EngineMessage("engine.state_unreadable_value", {"grid_crs"}));
        run.InputGridCrs = std::move(crs);
    }
    std::int32_t extent[3];
    ReadNumbers(lines, "plot_extent", extent);
    if (extent[0] != shape.Width || extent[1] != shape.Height || extent[2] != 1)
        lines.Fail(EngineMessage("engine.state_extent",
                                 {lines.Current(), std::to_string(shape.Width), std::to_string(shape.Height)}));
    run.Plot = TPlot(shape.Width, shape.Height);
    run.Plot.Bounded = shape.Bounded;
    run.Plot.NRows = extent[0];
    run.Plot.NCols = extent[1];
    run.Plot.CellSize = extent[2];
    ReadSoilMapGrids(lines, version, run.Settings.Initial, run.Plot);
    ReadEvents(lines, version, shape, checkSetting, run);
    const TSettings reached = run.Events ? SettingsAnEventMayGive(run.Settings, *run.Events) : run.Settings;
    ReadPlot(lines, ReachableState(reached, run.Species, run.Step, run.Plot.Soil), run.Plot);
    if (UsesHabitatMask(run.Settings.Initial)) ReadHabitat(lines, run.Plot);
    if (!lines.AtEnd()) {
        lines.Next("");
        lines.Fail(MessageKey("engine.state_extra_line"));
    }
    return run;
}

}  // namespace glebix
