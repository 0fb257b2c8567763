// The settings registry: one row per setting, the one place that names them. The state
// file, the batch tool's --set and usage text, the bindings and the documentation check
// all take a setting's facts from here; none keeps its own list.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "InitialGrid.h"
#include "Plot.h"
#include "Settings.h"

namespace glebix {

// How a setting's value is written and checked.
enum class SettingKind {
    Real,       // complete decimal real with a point ("0.4", "1e-3"), finite; kept as text
    Whole,      // complete decimal whole number that fits in 32 bits; kept as text
    Flag,       // on/off, true/false, 1/0 (any letter case)
    Mode,       // whole number within the setting's range
    RealValue,  // complete finite real, stored as a double rather than as text
    Word,       // one of the setting's words (Edges: torus, bounded); kept as text
    Path,       // any text: a file path
};

// When the engine reads a setting.
enum class SettingRead {
    AtSetUp,      // once, when a run sets its plot up
    EveryStep,    // at every step: a change takes effect at the next step
    WhenWritten,  // when an output is written or shown; never by the model
};

// Who sets a setting by its name.
enum class SettingSetter {
    ByName,   // --set, design columns, the bindings' keyword arguments
    Steps,    // --steps and the bindings' step count
    Windows,  // the windows alone (display and result-folder choices)
};

// How a species file's value becomes a setting's value: a Real setting's text takes one
// of two forms; the other kinds take the value as it is (a Whole setting as a decimal text).
enum class SpeciesFileForm {
    AsKind,
    Tenths,          // fixed point with one decimal: "0.4", "2.0"
    LongScientific,  // " 3.01000000000000E-0001"
};

// A setting's value in the species file: its place there (from 1; 0 when the file does
// not give it) and its form.
struct SpeciesFileValue {
    int position = 0;
    SpeciesFileForm form = SpeciesFileForm::AsKind;
};

// What a run's state keeps while a setting is not negative: its counts whole numbers of
// 32 bits, or its shares within 0 to 100 (StateReach.h).
enum class StateKept { Nothing, Counts, Shares };

// The setting that names a run's schedule of management events (Events.h), and the
// state file's version that first records one.
inline constexpr std::string_view EventsPathSetting = "EventsFilePath";
inline constexpr int EventsStateVersion = 3;
// The setting that names the habitat grid (Habitat.h).
inline constexpr std::string_view HabitatPathSetting = "HabitatFilePath";

inline constexpr std::int32_t NoMinimum = INT32_MIN;
inline constexpr std::int32_t NoMaximum = INT32_MAX;

struct SettingRow {
    std::string_view name;
    SettingKind kind;
    SettingRead read;
    SettingSetter setter;
    std::string_view process;          // the part of the model or of the program that reads it
    std::string_view description;      // one line, for the bindings' help and the usage text
    std::int32_t minimum = NoMinimum;  // range of a mode or of a bounded whole number
    std::int32_t maximum = NoMaximum;
    int firstStateVersion = 1;  // the state file's version that first records it
    // A state file leaves it out when it has its default, which a file without it means.
    bool omittedWhenDefault = false;
    SpeciesFileValue speciesFile = {};
    // The range within which a Real value makes sense, and the message key of the
    // warning that a value outside it gets ({0} the value, {1} the setting's name).
    double advisedMinimum = -std::numeric_limits<double>::infinity();
    double advisedMaximum = std::numeric_limits<double>::infinity();
    std::string_view outsideAdvice = {};
    StateKept keptWhenNotNegative = StateKept::Nothing;
    // A model extension, off at its default: every record of a run (the state file, the
    // manifest, the grid files' attributes) leaves it out while it has its default, so that a
    // run without it keeps the bytes it had before the extension.
    bool extension = false;
    // May change when a saved run resumes: only what the model reads at every step.
    bool changesOnResume() const { return read == SettingRead::EveryStep; }
    // This row, given by the species file's value at `position`.
    constexpr SettingRow InSpeciesFile(int position, SpeciesFileForm form = SpeciesFileForm::AsKind) const {
        SettingRow row = *this;
        row.speciesFile = {position, form};
        return row;
    }
    // This row, keeping `kept` while its value is not negative.
    constexpr SettingRow KeepsWhenNotNegative(StateKept kept) const {
        SettingRow row = *this;
        row.keptWhenNotNegative = kept;
        return row;
    }
    // This row, as a model extension.
    constexpr SettingRow AsExtension() const {
        SettingRow row = *this;
        row.extension = true;
        row.omittedWhenDefault = true;
        return row;
    }
    // This row, with the warning `advice` for a value outside [low, high].
    constexpr SettingRow AdvisedWithin(double low, double high, std::string_view advice) const {
        SettingRow row = *this;
        row.advisedMinimum = low;
        row.advisedMaximum = high;
        row.outsideAdvice = advice;
        return row;
    }
};

// The species settings, in the state file's order: those a species file gives with
// their place in it.
template <typename Sp, typename Visit>
void VisitSpeciesSettings(Sp &sp, Visit visit) {
    using K = SettingKind;
    using R = SettingRead;
    using F = SpeciesFileForm;
    constexpr auto N = SettingSetter::ByName;
    visit(SettingRow{"Survival", K::Real, R::AtSetUp, N, "survival",
                     "probabilité de survie d'un individu à chaque pas de temps"}
              .InSpeciesFile(1, F::Tenths)
              .AdvisedWithin(0, 1, "warning.survival")
              .KeepsWhenNotNegative(StateKept::Counts),
          sp.Survival);
    visit(
        SettingRow{"Fecundity", K::Real, R::AtSetUp, N, "reproduction", "descendants par individu et par pas de temps"}
            .InSpeciesFile(2, F::Tenths)
            .KeepsWhenNotNegative(StateKept::Counts),
        sp.Fecundity);
    visit(
        SettingRow{"MortalityAlpha", K::Real, R::AtSetUp, N, "survival", "exposant de la mortalité due à l'entassement"}
            .InSpeciesFile(8, F::LongScientific),
        sp.MortalityAlpha);
    visit(SettingRow{"CompactionC", K::Real, R::AtSetUp, N, "soil", "décompaction apportée par individu"}
              .InSpeciesFile(6, F::LongScientific)
              .KeepsWhenNotNegative(StateKept::Shares),
          sp.CompactionC);
    visit(SettingRow{"DispersalSensitivity", K::Whole, R::AtSetUp, N, "dispersal",
                     "exposant de l'effet de l'entassement sur la dispersion"}
              .InSpeciesFile(9),
          sp.DispersalSensitivity);
    visit(SettingRow{"DispersalSigma", K::Real, R::AtSetUp, N, "dispersal", "écart type de base du déplacement"}
              .InSpeciesFile(10, F::Tenths),
          sp.DispersalSigma);
    visit(SettingRow{"ResponseShape", K::Mode, R::AtSetUp, N, "response",
                     "forme de la réponse au milieu : 0 normale, 1 en cloche, 2 logistique", 0, ResponseShapeCount - 1}
              .InSpeciesFile(3),
          sp.ResponseShape);
    visit(SettingRow{"ResponseOptimum", K::RealValue, R::AtSetUp, N, "response",
                     "centre (formes 0 et 1) ou ordonnée à l'origine (forme 2) de la réponse"}
              .InSpeciesFile(4),
          sp.ResponseOptimum);
    visit(SettingRow{"ResponseTolerance", K::RealValue, R::AtSetUp, N, "response",
                     "largeur (formes 0 et 1) ou pente (forme 2) de la réponse"}
              .InSpeciesFile(5),
          sp.ResponseTolerance);
    visit(SettingRow{"SurvivalEnvSensitive", K::Flag, R::AtSetUp, N, "survival",
                     "l'entassement peut accroître la mortalité"},
          sp.SurvivalEnvSensitive);
    visit(SettingRow{"FecundityEnvSensitive", K::Flag, R::AtSetUp, N, "reproduction",
                     "les naissances suivent la réponse de la case au milieu"},
          sp.FecundityEnvSensitive);
    visit(SettingRow{"DispersalFirst", K::Flag, R::EveryStep, N, "step order", "la dispersion précède la survie"},
          sp.DispersalFirst);
}

// The initial environment and distribution, in the state file's order.
template <typename I, typename Visit>
void VisitInitialSettings(I &in, Visit visit) {
    using K = SettingKind;
    constexpr auto R = SettingRead::AtSetUp;
    constexpr auto N = SettingSetter::ByName;
    visit(SettingRow{"EnvInitMode", K::Mode, R, N, "initial environment",
                     "milieu initial : 0 fichier, 1 aléatoire, 2 homogène", 0, EnvModeCount - 1},
          in.EnvInitMode);
    visit(SettingRow{"EnvMean", K::Real, R, N, "initial environment", "part compactée moyenne du milieu aléatoire (%)"},
          in.EnvMean);
    visit(SettingRow{"EnvVariability", K::Real, R, N, "initial environment", "demi-étendue du milieu aléatoire (%)"},
          in.EnvVariability);
    visit(SettingRow{"EnvConstant", K::Real, R, N, "initial environment", "part compactée du milieu homogène (%)"},
          in.EnvConstant);
    visit(SettingRow{"EnvFilePath", K::Path, R, N, "initial environment", "fichier du milieu initial (mode 0)"},
          in.EnvFilePath);
    visit(SettingRow{"DistInitMode", K::Mode, R, N, "initial distribution",
                     "répartition initiale : 0 fichier, 1 aléatoire, 2 homogène, 3 tiers gauche, 4 centre", 0,
                     DistModeCount - 1},
          in.DistInitMode);
    visit(SettingRow{"DistConstant", K::Whole, R, N, "initial distribution", "effectif de chaque case occupée"},
          in.DistConstant);
    visit(SettingRow{"DistMean", K::Whole, R, N, "initial distribution", "effectif moyen de la répartition aléatoire"},
          in.DistMean);
    visit(SettingRow{"DistVariability", K::Real, R, N, "initial distribution",
                     "demi-étendue de la répartition aléatoire"},
          in.DistVariability);
    visit(SettingRow{"DistFilePath", K::Path, R, N, "initial distribution",
                     "fichier de la répartition initiale (mode 0)"},
          in.DistFilePath);
    visit(SettingRow{HabitatPathSetting, K::Path, R, N, "habitat",
                     "grille de l'habitat : 1 habitat, 0 ou nodata hors habitat (vide : tout est habitat)"}
              .AsExtension(),
          in.HabitatFilePath);
    visit(SettingRow{"EnvNoDataNonHabitat", K::Flag, R, N, "habitat",
                     "les cases que le fichier du milieu ne nomme pas sont hors habitat"}
              .AsExtension(),
          in.EnvNoDataNonHabitat);
}

// The initial files: each one's grid and role (as the manifest names it), the setting of
// its mode with the mode that reads the file, and the setting of its path.
template <typename I, typename Visit>
void VisitInitialFileSettings(I &in, Visit visit) {
    visit(InitialGrid::Environment, "environment", "EnvInitMode", in.EnvInitMode, EnvModeFile, "EnvFilePath",
          in.EnvFilePath);
    visit(InitialGrid::Distribution, "distribution", "DistInitMode", in.DistInitMode, DistModeFile, "DistFilePath",
          in.DistFilePath);
    // Read whenever a path is given: its "mode" is whether one is.
    visit(InitialGrid::Habitat, "habitat", "HabitatFilePath", std::int32_t{!in.HabitatFilePath.empty()}, 1,
          "HabitatFilePath", in.HabitatFilePath);
}

// The display, chart, result-file and run-length settings, in the state file's order.
template <typename U, typename Visit>
void VisitOutputSettings(U &ru, Visit visit) {
    using K = SettingKind;
    using R = SettingRead;
    constexpr auto W = SettingSetter::Windows;
    visit(SettingRow{"ShowDensityMap", K::Flag, R::WhenWritten, W, "display", "la carte est redessinée à chaque pas"},
          ru.ShowDensityMap);
    visit(SettingRow{"ShowCellChart", K::Flag, R::WhenWritten, W, "display", "la trace est complétée à chaque pas"},
          ru.ShowCellChart);
    // A chart cell outside the grid would silently be moved onto its edge.
    visit(SettingRow{"ChartCellX", K::Whole, R::AtSetUp, SettingSetter::ByName, "chart",
                     "ligne de la case suivie par la trace", 1, MaxPlotSide},
          ru.ChartCellX);
    visit(SettingRow{"ChartCellY", K::Whole, R::AtSetUp, SettingSetter::ByName, "chart",
                     "colonne de la case suivie par la trace", 1, MaxPlotSide},
          ru.ChartCellY);
    visit(SettingRow{"SaveResults", K::Flag, R::WhenWritten, W, "result file",
                     "le fichier de résultats est écrit au dernier pas"},
          ru.SaveResults);
    visit(SettingRow{"ResultDirectory", K::Path, R::WhenWritten, W, "result file", "dossier du fichier de résultats"},
          ru.ResultDirectory);
    visit(SettingRow{"StepCount", K::Whole, R::AtSetUp, SettingSetter::Steps, "run",
                     "nombre de pas de temps d'une simulation", 0},
          ru.StepCount);
}

// The plot's size and edges, in the state file's order.
template <typename P, typename Visit>
void VisitPlotSettings(P &p, Visit visit) {
    using K = SettingKind;
    constexpr auto R = SettingRead::AtSetUp;
    constexpr auto N = SettingSetter::ByName;
    constexpr int Since = 1;
    constexpr bool Omitted = true;
    visit(SettingRow{"PlotWidth", K::Whole, R, N, "plot",
                     "cases de la parcelle d'ouest en est (lignes i ; une grille initiale le donne)", 1, MaxPlotSide,
                     Since, Omitted},
          p.Width);
    visit(SettingRow{"PlotHeight", K::Whole, R, N, "plot",
                     "cases de la parcelle du sud au nord (colonnes j ; une grille initiale le donne)", 1, MaxPlotSide,
                     Since, Omitted},
          p.Height);
    visit(SettingRow{"Edges", K::Word, R, N, "dispersal",
                     "bords de la parcelle : torus (tore) ou bounded (qui s'en va la quitte)", NoMinimum, NoMaximum,
                     Since, Omitted},
          p.Edges);
}

// The grids of per-cell soil values (SoilMaps.h), left out of a state file without them.
template <typename I, typename Visit>
void VisitSoilMapSettings(I &in, Visit visit) {
    constexpr int Since = 3;
    constexpr bool Omitted = true;
    visit(SettingRow{"CompactionCMapPath", SettingKind::Path, SettingRead::AtSetUp, SettingSetter::ByName, "soil",
                     "grille de CompactionC par case, à la place du nombre", NoMinimum, NoMaximum, Since, Omitted}
              .AsExtension(),
          in.CompactionCMapPath);
    visit(SettingRow{"DecompactionDMapPath", SettingKind::Path, SettingRead::AtSetUp, SettingSetter::ByName, "soil",
                     "grille de DecompactionD par case, à la place du nombre", NoMinimum, NoMaximum, Since, Omitted}
              .AsExtension(),
          in.DecompactionDMapPath);
}

// Every setting, in the state file's order, handed to visit(row, member) for a const or
// a non-const TSettings alike. A row's member is a std::string for Real, Whole and Path,
// bool for Flag, std::int32_t for Mode and double for RealValue.
template <typename S, typename Visit>
void VisitSettings(S &s, Visit visit) {
    using K = SettingKind;
    using R = SettingRead;
    constexpr auto N = SettingSetter::ByName;
    auto &in = s.Initial;
    auto &ru = s.Run;
    VisitSpeciesSettings(s.Species, visit);
    VisitInitialSettings(in, visit);
    visit(SettingRow{"EnvDynamic", K::Flag, R::EveryStep, N, "soil", "la faune remodèle le sol"}, ru.EnvDynamic);
    visit(SettingRow{"DecompactionD", K::Real, R::EveryStep, N, "soil",
                     "plus grand retour de la part décompactée par case et par pas de temps"}
              .KeepsWhenNotNegative(StateKept::Shares),
          ru.DecompactionD);
    VisitSoilMapSettings(in, visit);
    // The windows offer no schedule: a state file names one only when a run had it.
    visit(SettingRow{EventsPathSetting, K::Path, R::AtSetUp, N, "events",
                     "calendrier des interventions (CSV step,every,action,where,value)", NoMinimum, NoMaximum,
                     EventsStateVersion, true}
              .AsExtension(),
          ru.EventsFilePath);
    VisitOutputSettings(ru, visit);
    VisitPlotSettings(s.Plot, visit);
}

// The row of the species setting that `member` of `sp` holds.
template <typename Sp, typename M>
SettingRow SpeciesRowOf(Sp &sp, const M &member) {
    SettingRow found{};
    VisitSpeciesSettings(sp, [&](const SettingRow &row, const auto &held) {
        if (static_cast<const void *>(&held) == static_cast<const void *>(&member)) found = row;
    });
    return found;
}

// The species values a run takes at set-up (RunSpecies.h), in the state file's order, each
// with the species setting it is taken from: visit(row, setting, value).
template <typename Sp, typename Run, typename Visit>
void VisitRunSpeciesSources(Sp &sp, Run &run, Visit visit) {
    const auto from = [&](const auto &setting, auto &value) { visit(SpeciesRowOf(sp, setting), setting, value); };
    from(sp.Survival, run.Survival);
    from(sp.Fecundity, run.Fecundity);
    from(sp.ResponseShape, run.ResponseShape);
    from(sp.ResponseOptimum, run.ResponseOptimum);
    from(sp.ResponseTolerance, run.ResponseTolerance);
    from(sp.DispersalSensitivity, run.DispersalSensitivity);
    from(sp.DispersalSigma, run.DispersalSigma);
    from(sp.CompactionC, run.CompactionC);
    from(sp.MortalityAlpha, run.MortalityAlpha);
}

// The species values a run took at set-up, by their settings' names, in the state file's
// order: visit(name, value).
template <typename Run, typename Visit>
void VisitRunSpecies(Run &run, Visit visit) {
    const SpeciesSettings names;
    VisitRunSpeciesSources(names, run,
                           [&](const SettingRow &row, const auto &, auto &value) { visit(row.name, value); });
}

// A setting's value, of its member's type; none for a row the registry does not hold.
using SettingValue = std::variant<std::monostate, std::string, bool, std::int32_t, double>;

// The default (DefaultSettings()) of `row`'s setting, taken from the registry once.
const SettingValue &DefaultValue(const SettingRow &row);

// Whether `value` is the default of `row`'s setting.
template <typename T>
bool IsDefaultValue(const SettingRow &row, const T &value) {
    const T *defaultValue = std::get_if<T>(&DefaultValue(row));
    return defaultValue && *defaultValue == value;
}

// Every row, in order.
const std::vector<SettingRow> &SettingRows();

// The row of `name`; nullptr for an unknown name.
const SettingRow *FindSettingRow(std::string_view name);

}  // namespace glebix
