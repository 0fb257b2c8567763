#include "Warnings.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>

#include "Conversions.h"
#include "Georeference.h"
#include "Habitat.h"
#include "InitialFiles.h"
#include "InitialSources.h"
#include "Messages.h"
#include "RasterInput.h"
#include "SpeciesFile.h"

namespace glebix::core {

namespace {

// A path given to a file the mode does not read: "<path setting> « d.txt » est donné,
// mais <mode setting> vaut 4 : ...".
void UnusedPath(std::vector<std::string> &out, const InitialSource &source) {
    if (source.path.empty() || source.read) return;
    out.push_back(Message("warning.unused_path", {std::string(source.pathSetting), source.path,
                                                  std::string(source.modeSetting), std::to_string(source.mode)}));
}

// Each Real setting's value outside the range within which it makes sense.
void OutsideAdvice(const TSettings &s, std::vector<std::string> &out) {
    VisitSettings(s, [&out](const SettingRow &row, const auto &value) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string>) {
            if (row.kind != SettingKind::Real || row.outsideAdvice.empty()) return;
            const double real = FieldToReal(value);
            if (!(real >= row.advisedMinimum && real <= row.advisedMaximum))
                out.push_back(Message(std::string(row.outsideAdvice), {value, std::string(row.name)}));
        }
    });
}

}  // namespace

std::vector<std::string> SettingsWarnings(const TSettings &s) {
    std::vector<std::string> out;
    for (const InitialSource &source : InitialSources(s.Initial)) UnusedPath(out, source);
    OutsideAdvice(s, out);
    return out;
}

std::vector<std::string> ResumedRunWarnings(const TSettings &s) {
    std::vector<std::string> out;
    OutsideAdvice(s, out);
    return out;
}

std::vector<std::string> EnvironmentFileWarnings(const TPlot &read, const std::string &path) {
    int unnamed = 0;
    for (std::size_t c = 0; c < read.Env.Size(); ++c) unnamed += std::isnan(read.Env.Data()[c].Compacted) ? 1 : 0;
    if (unnamed == 0) return {};
    return {Message(unnamed > 1 ? "warning.unnamed_cells" : "warning.unnamed_cell",
                    {path, std::to_string(unnamed), std::to_string(read.Cells())})};
}

std::vector<std::string> DistributionFileWarnings(const TPlot &read, const std::string &path) {
    int negative = 0;
    for (std::size_t c = 0; c < read.Density.Size(); ++c) negative += read.Density.Data()[c] < 0 ? 1 : 0;
    if (negative == 0) return {};
    return {
        Message(negative > 1 ? "warning.negative_counts" : "warning.negative_count", {path, std::to_string(negative)})};
}

namespace {

std::string PlacementText(const GridPlacement &p) {
    return "xllcorner " + FormatShortest(p.XllCorner) + ", yllcorner " + FormatShortest(p.YllCorner) + ", cellsize " +
           FormatShortest(p.CellSize);
}

}  // namespace

namespace {

// Two grids of the settings `settingA` and `settingB` that lie at different places; the
// written grids take the first one's.
std::optional<std::string> PlacementsDiffer(const std::string &pathA, const GridPlacement &a, std::string_view settingA,
                                            const std::string &pathB, const GridPlacement &b,
                                            std::string_view settingB) {
    if (a.XllCorner == b.XllCorner && a.YllCorner == b.YllCorner && a.CellSize == b.CellSize) return std::nullopt;
    return Message("warning.placement",
                   {pathA, PlacementText(a), pathB, PlacementText(b), std::string(settingA), std::string(settingB)});
}

}  // namespace

std::optional<std::string> PlacementWarning(const std::string &environmentPath, const GridPlacement &environment,
                                            const std::string &distributionPath, const GridPlacement &distribution) {
    return PlacementsDiffer(environmentPath, environment, InitialPathSetting(InitialGrid::Environment),
                            distributionPath, distribution, InitialPathSetting(InitialGrid::Distribution));
}

std::optional<std::string> SpeciesRoundingWarning(const std::string &path, const char *setting, double fileValue,
                                                  const std::string &shown) {
    if (FieldToReal(shown) == fileValue) return std::nullopt;
    const std::string exact = FormatShortest(fileValue);
    return Message("warning.species_rounding", {path, setting, exact, shown});
}

namespace {

// What an initial file says beside its values: its warnings, and where an ESRI grid
// lies.
struct FileFindings {
    std::vector<std::string> Warnings;
    std::optional<GridPlacement> Placement;
};

// A plot for reading an initial file: of a grid's size, else 50 x 50 (a file of
// triples beyond it gives no warning; its runs' set-up checks it).
std::unique_ptr<TPlot> PlotFor(const std::string &bytes, const std::string &path) {
    if (!IsAsciiGrid(bytes)) return std::make_unique<TPlot>();
    const GridSize size = AsciiGridSize(bytes, path);
    return std::make_unique<TPlot>(size.Columns, size.Rows);
}

// The findings of initial files, by path: a file that many points use is read once.
class FileWarnings {
public:
    explicit FileWarnings(InputBytes &files) : files_(files) {}

    const FileFindings &Environment(const std::string &path) {
        return Cached(environment_, path, [&](const std::string &bytes) {
            auto plot = PlotFor(bytes, path);
            std::fill_n(plot->Env.Data(), plot->Env.Size(), TCellEnv{std::nan(""), 0});
            const auto placement = ReadEnvironmentText(bytes, path, *plot);
            return FileFindings{EnvironmentFileWarnings(*plot, path), placement};
        });
    }
    const FileFindings &Distribution(const std::string &path) {
        return Cached(distribution_, path, [&](const std::string &bytes) {
            auto plot = PlotFor(bytes, path);
            const auto placement = ReadDistributionText(bytes, path, *plot);
            return FileFindings{DistributionFileWarnings(*plot, path), placement};
        });
    }

    // A soil map: where it lies, which must be where the plot lies.
    const FileFindings &Map(const std::string &path) {
        return Cached(maps_, path, [&](const std::string &bytes) {
            if (!IsAsciiGrid(bytes)) return FileFindings{};
            const auto ignore = [](int, int, std::string_view) {};
            return FileFindings{{}, ReadAsciiGrid(bytes, path, ignore, AsciiGridSize(bytes, path))};
        });
    }

    // A habitat grid says nothing beside its values but where it lies.
    const FileFindings &Habitat(const std::string &path) {
        return Cached(habitat_, path, [&](const std::string &bytes) {
            auto plot = PlotFor(bytes, path);
            return FileFindings{{}, ReadHabitatText(bytes, path, *plot)};
        });
    }

private:
    using Cache = std::map<std::string, FileFindings>;

    // A file that cannot be read or parsed gives no warning: it is a problem, reported
    // as such by the check or by the runs.
    template <typename Read>
    const FileFindings &Cached(Cache &cache, const std::string &path, Read read) {
        if (auto known = cache.find(path); known != cache.end()) return known->second;
        FileFindings found;
        const ReadInput &input = gis::ReadInitialInputOnce(files_, path);
        if (input.Bytes) {
            try {
                found = read(*input.Bytes);
            } catch (const std::exception &) {}
        }
        return cache[path] = std::move(found);
    }

    InputBytes &files_;
    Cache environment_, distribution_, habitat_, maps_;
};

// The species files as read, for the rounding of their values; a file that cannot be
// read or parsed is a problem reported elsewhere.
std::vector<std::pair<std::string, SpeciesFileContents>> SpeciesFiles(const std::vector<std::string> &paths,
                                                                      InputBytes &files) {
    std::vector<std::pair<std::string, SpeciesFileContents>> read;
    for (const std::string &path : paths) {
        const ReadInput &input = ReadInputOnce(files, path);
        if (!input.Bytes) continue;
        try {
            read.emplace_back(path, ReadSpeciesText(*input.Bytes));
        } catch (const std::exception &) {}
    }
    return read;
}

// A species file's values that the dialog's one-decimal texts change, as long as the
// settings still hold those texts (a later --set or design column gives its own).
void SpeciesWarnings(const std::vector<std::pair<std::string, SpeciesFileContents>> &species, const SpeciesSettings &s,
                     std::vector<std::string> &out) {
    for (const auto &named : species) {
        const std::string &path = named.first;
        const SpeciesFileContents &file = named.second;
        VisitSpeciesSettings(s, [&](const SettingRow &row, const auto &used) {
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(used)>, std::string>) {
                if (row.speciesFile.form != SpeciesFileForm::Tenths) return;
                const double value = file.Values[row.speciesFile.position - 1];
                const std::string shown = SpeciesFileText(row.speciesFile.form, value);
                if (used != shown) return;
                if (auto w = SpeciesRoundingWarning(path, std::string(row.name).c_str(), value, shown))
                    out.push_back(*w);
            }
        });
    }
}

std::vector<std::string> WarningsOf(const TSettings &settings, FileWarnings &files,
                                    const std::vector<std::pair<std::string, SpeciesFileContents>> &species) {
    std::vector<std::string> out;
    SpeciesWarnings(species, settings.Species, out);
    const std::vector<std::string> own = SettingsWarnings(settings);
    out.insert(out.end(), own.begin(), own.end());
    const FileFindings none;
    std::vector<const FileFindings *> found;
    std::vector<std::string> paths;
    std::vector<std::string_view> settingNames;
    for (const InitialSource &source : InitialSources(settings.Initial)) {
        found.push_back(!source.read                               ? &none
                        : IsSoilMap(source.grid)                   ? &files.Map(source.path)
                        : source.grid == InitialGrid::Environment  ? &files.Environment(source.path)
                        : source.grid == InitialGrid::Distribution ? &files.Distribution(source.path)
                                                                   : &files.Habitat(source.path));
        paths.push_back(source.path);
        settingNames.push_back(source.pathSetting);
        // Unnamed soil is no habitat then, not soil that fills with fauna.
        const bool unnamedOffHabitat = source.grid == InitialGrid::Environment && settings.Initial.EnvNoDataNonHabitat;
        if (!unnamedOffHabitat) out.insert(out.end(), found.back()->Warnings.begin(), found.back()->Warnings.end());
        if (found.back()->Placement)
            if (auto w = gis::UnreadPrjWarning(source.path)) out.push_back(*w);
    }
    if (found[0]->Placement && found[1]->Placement)
        if (auto w = PlacementWarning(paths[0], *found[0]->Placement, paths[1], *found[1]->Placement))
            out.push_back(*w);
    // The habitat and the soil maps, after the two initial files, against the grid that
    // places the plot.
    const std::size_t placing = found[0]->Placement ? 0 : 1;
    for (std::size_t k = 2; k < found.size() && found[placing]->Placement; ++k)
        if (found[k]->Placement)
            if (auto w = PlacementsDiffer(paths[placing], *found[placing]->Placement, settingNames[placing], paths[k],
                                          *found[k]->Placement, settingNames[k]))
                out.push_back(*w);
    return out;
}

bool Contains(const std::vector<std::string> &list, const std::string &text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

std::vector<std::string> StudyWarnings::For(int point) const {
    std::vector<std::string> out = Common;
    if (auto own = ByPoint.find(point); own != ByPoint.end())
        out.insert(out.end(), own->second.begin(), own->second.end());
    return out;
}

std::vector<std::string> StudyWarnings::All() const {
    std::vector<std::string> out = Common;
    for (const auto &[point, own] : ByPoint) out.insert(out.end(), own.begin(), own.end());
    return out;
}

StudyWarnings RunWarnings(const TSettings &common, const std::vector<int> &points,
                          const std::function<TSettings(int)> &settingsOf, const std::vector<std::string> &speciesPaths,
                          InputBytes &files) {
    StudyWarnings w;
    FileWarnings fileWarnings(files);
    const auto species = SpeciesFiles(speciesPaths, files);
    // With a design, a warning is common when every point's runs have it, and a point's
    // own otherwise. Only the points that have warnings are kept, so that a large design
    // costs no more than its points with something to say.
    std::map<int, std::vector<std::string>> own;
    for (int point : points)
        if (auto list = WarningsOf(settingsOf(point), fileWarnings, species); !list.empty())
            own.emplace(point, std::move(list));
    const bool everyPointHasSome = own.size() == points.size();
    for (const std::string &text : WarningsOf(common, fileWarnings, species)) {
        if (everyPointHasSome &&
            std::all_of(own.begin(), own.end(), [&](const auto &entry) { return Contains(entry.second, text); }))
            w.Common.push_back(text);
    }
    for (const auto &[point, list] : own)
        for (const std::string &text : list)
            if (!Contains(w.Common, text))
                w.ByPoint[point].push_back(Labelled(Message("run.point", {std::to_string(point)}), text));
    return w;
}

StudyWarnings RunWarnings(const TSettings &common, const std::vector<std::pair<int, TSettings>> &points,
                          const std::vector<std::string> &speciesPaths, InputBytes &files) {
    std::vector<int> numbers;
    std::map<int, const TSettings *> byNumber;
    for (const auto &[point, settings] : points) {
        numbers.push_back(point);
        byNumber.emplace(point, &settings);
    }
    const auto settingsOf = [&byNumber](int point) { return *byNumber.at(point); };
    return RunWarnings(common, numbers, settingsOf, speciesPaths, files);
}

}  // namespace glebix::core
