// Run set-up: reseed, rebuild the plot from the initial-condition settings and input
// files, take the species values.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <string_view>
#include <type_traits>

#include "Conversions.h"
#include "Errors.h"
#include "FloatChecks.h"
#include "Habitat.h"
#include "InitialFiles.h"
#include "InputFile.h"
#include "PlotShape.h"
#include "Response.h"
#include "SettingsRegistry.h"
#include "Simul.h"
#include "SoilMapFiles.h"

namespace glebix {

namespace {

// Whether index k of a side of n cells lies strictly between 0.475 n and 0.525 n (the
// 50 x 50 plot's 23.75 and 26.25), in whole numbers: 200 k against 95 n and 105 n.
bool InCentre(int k, int n) {
    const std::int64_t k200 = 200 * std::int64_t{k};
    return k200 > 95 * std::int64_t{n} && k200 < 105 * std::int64_t{n};
}

// A real taken from a field must be a finite double; a refusal names the setting.
double TakeReal(const std::string &text, std::string_view setting) {
    const double v = FieldToReal(text);
    if (!std::isfinite(v)) throw GlebixError(MsgOverflow, ErrorContext{std::string(setting), {}, 0, 0, text});
    return v;
}

// Reads an initial file into the plot; a fault also names the setting that gave the
// file, and the file when it could not be read at all. Returns what the reader does.
template <typename Reader>
auto ReadInitialFile(Reader read, const char *setting, const std::string &path, const InputBytes *given, TPlot &plot) {
    try {
        return read(*InputFileBytes(path, given), path, plot);
    } catch (GlebixError &e) {
        e.Context().Setting = setting;
        e.Context().Path = path;
        throw;
    }
}

// The initial-condition fields as set-up converts them, in the order it takes them
// (the first refused one ends the set-up).
struct InitialValues {
    double EnvConstant, EnvMean, EnvVariability;
    std::int32_t DistConstant, DistMean;
    double DistVariability;
};

InitialValues TakeInitialValues(const InitialSettings &in) {
    InitialValues v;
    v.EnvConstant = TakeReal(in.EnvConstant, "EnvConstant");
    v.EnvMean = TakeReal(in.EnvMean, "EnvMean");
    v.EnvVariability = TakeReal(in.EnvVariability, "EnvVariability");
    v.DistConstant = FieldToInteger(in.DistConstant);
    v.DistMean = FieldToInteger(in.DistMean);
    v.DistVariability = TakeReal(in.DistVariability, "DistVariability");
    return v;
}

// The initial soil of one cell; the random mode makes one draw.
void InitialCellEnv(std::int32_t mode, const InitialValues &v, Simul &simul, TCellEnv &env) {
    switch (mode) {
    case EnvModeFile:
        // Cells the file does not name keep these values: -5 and its complement.
        env.Compacted = -5;
        env.Decompacted = 105;
        break;
    case EnvModeRandom: {
        const long double u = simul.RandomUniform();
        const long double x = u * 2 * v.EnvVariability + (static_cast<long double>(v.EnvMean) - v.EnvVariability);
        const double compacted = static_cast<double>(std::min(std::max(0.0L, x), 100.0L));
        env.Compacted = compacted;
        env.Decompacted = std::max(0.0, std::min(100.0 - compacted, 100.0));
        break;
    }
    case EnvModeHomogeneous:
        env = HomogeneousCellEnv(v.EnvConstant);
        break;
    default:
        break;  // no other mode can be selected
    }
}

// The initial count of cell (i, j), each from 1, of a plot `width` x `height`; the
// random mode makes one draw.
void InitialCount(std::int32_t mode, int i, int j, const TPlot &plot, const InitialValues &v, Simul &simul,
                  std::int32_t &count) {
    if (mode == DistModeRandom) {
        const long double u = simul.RandomUniform();
        const long double x = u * 2 * v.DistVariability + (static_cast<long double>(v.DistMean) - v.DistVariability);
        count = Narrow32(std::max<std::int64_t>(0, Nearest(x)));
    } else if (mode >= 0 && mode < DistModeCount) {
        count = PatternCount(mode, i, j, v.DistConstant, plot.Width, plot.Height);
    }
}

}  // namespace

std::int32_t PatternCount(std::int32_t mode, int i, int j, std::int32_t constant, int width, int height) {
    switch (mode) {
    case DistModeHomogeneous:
        return constant;
    case DistModeLeftThird:
        return i < width / 3.0L ? constant : 0;
    case DistModeCentre:
        return InCentre(i, width) && InCentre(j, height) ? constant : 0;
    default:
        return 0;  // the file mode: cells the file does not name
    }
}

TCellEnv HomogeneousCellEnv(double constant) { return {constant, StoreDouble(100.0L - constant)}; }

std::uint64_t SetUpDraws(const InitialSettings &in, std::uint64_t cells) {
    return (in.EnvInitMode == EnvModeRandom ? cells : 0) + (in.DistInitMode == DistModeRandom ? cells : 0);
}

std::int32_t ChartCellFromField(const std::string &text, int side) { return std::clamp(FieldToInteger(text), 1, side); }

CellIndex TakenChartCell(const RunSettings &run, const PlotShape &shape) {
    return {ChartCellFromField(run.ChartCellX, shape.Width), ChartCellFromField(run.ChartCellY, shape.Height)};
}

std::uint32_t ClockSeed() {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(ticks).count());
}

void Simul::ReseedFromClock() { RandomSeed = ClockSeed(); }

void Simul::SetUpRun(std::optional<std::uint32_t> seed) {
    if (seed)
        RandomSeed = *seed;
    else
        ReseedFromClock();
    RunSeed = RandomSeed;
    Events.reset();
    StepsBegun = 0;
    SettingsBeforeEvents.reset();
    InitialisePlot();
    TakeSpeciesParameters();
}

PlotShape Simul::TakePlotShape() const {
    const InitialSettings &in = Settings.Initial;
    const PlotSettings plot = WithoutGridSize(Settings.Plot);
    PlotShape shape = PlotShapeOf(plot);
    // A grid input sets the size; the environment file first.
    std::string gridPath;
    auto withGrid = [&](bool used, const char *setting, const std::string &path) {
        if (!used) return;
        std::optional<GridSize> size;
        try {
            const auto bytes = InputFileBytes(path, GivenInputs.get());
            if (IsAsciiGrid(*bytes)) size = AsciiGridSize(*bytes, path);
        } catch (GlebixError &e) {
            if (e.Context().Setting.empty()) e.Context().Setting = setting;
            e.Context().Path = path;
            throw;
        }
        if (!size) return;
        shape = ShapeWithGrid(shape, plot, *size, path, gridPath, FixedPlotSize);
        if (gridPath.empty()) gridPath = path;
    };
    withGrid(in.EnvInitMode == EnvModeFile, "EnvFilePath", in.EnvFilePath);
    withGrid(in.DistInitMode == DistModeFile, "DistFilePath", in.DistFilePath);
    withGrid(!in.HabitatFilePath.empty(), "HabitatFilePath", in.HabitatFilePath);
    return shape;
}

void Simul::InitialisePlot() {
    const InitialSettings &in = Settings.Initial;
    const PlotShape shape = TakePlotShape();
    // The settings say the run as it is made: the size a grid gave, the chart cell taken.
    Settings.Plot = WithoutGridSize(Settings.Plot);
    if (ParseWholeToken(Settings.Plot.Width) != shape.Width) Settings.Plot.Width = std::to_string(shape.Width);
    if (ParseWholeToken(Settings.Plot.Height) != shape.Height) Settings.Plot.Height = std::to_string(shape.Height);
    Settings.Plot.SizeFromGrid = shape.FromGrid;
    TakeChartCellDefault(Settings.Run, shape);
    if (RefuseChartCellOutside) {
        CheckChartCell("ChartCellX", Settings.Run.ChartCellX, shape.Width);
        CheckChartCell("ChartCellY", Settings.Run.ChartCellY, shape.Height);
    }
    SetChartCell(TakenChartCell(Settings.Run, shape));
    const InitialValues values = TakeInitialValues(in);

    // The grids are made anew only for a plot of another size.
    if (Plot.Width != shape.Width || Plot.Height != shape.Height) Plot = TPlot(shape.Width, shape.Height);
    Plot.Bounded = shape.Bounded;
    Plot.CellSize = 1;
    Plot.NRows = Plot.Width * Plot.CellSize;
    Plot.NCols = Plot.Height * Plot.CellSize;
    Emigrants = 0;
    Lost = 0;
    // Each cell's environment draw comes before its distribution draw.
    for (int i = 1; i <= Plot.Width; ++i) {
        for (int j = 1; j <= Plot.Height; ++j) {
            InitialCellEnv(in.EnvInitMode, values, *this, Plot.Env[i - 1][j - 1]);
            InitialCount(in.DistInitMode, i, j, Plot, values, *this, Plot.Density[i - 1][j - 1]);
        }
    }
    // The files are read after the loop: the environment file first, each only when
    // its mode asks for it.
    InputGridPlacement.reset();
    InputGridCrs.reset();
    if (in.EnvInitMode == EnvModeFile)
        InputGridPlacement =
            ReadInitialFile(ReadEnvironmentText, "EnvFilePath", in.EnvFilePath, GivenInputs.get(), Plot);
    if (in.DistInitMode == DistModeFile) {
        const auto placement =
            ReadInitialFile(ReadDistributionText, "DistFilePath", in.DistFilePath, GivenInputs.get(), Plot);
        if (!InputGridPlacement) InputGridPlacement = placement;
    }
    const auto habitat = SetUpHabitat(in, GivenInputs.get(), Plot);
    if (!InputGridPlacement) InputGridPlacement = habitat;
    ReadSoilMaps(in, GivenInputs.get(), Plot);
}

void Simul::TakeSpeciesParameters() { Species = SpeciesTakenFrom(Settings.Species); }

RunSpecies SpeciesTakenFrom(const SpeciesSettings &s) {
    RunSpecies taken;
    // A text setting becomes a finite real or a whole number; the others are taken as they are.
    VisitRunSpeciesSources(s, taken, [](const SettingRow &row, const auto &setting, auto &value) {
        using Value = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<std::decay_t<decltype(setting)>, Value>) {
            value = setting;
        } else if constexpr (std::is_same_v<Value, double>) {
            value = TakeReal(setting, row.name);
        } else {
            value = FieldToInteger(setting);
        }
    });

    // The response curve needs a known shape, finite parameters and, for the two
    // bell shapes, a tolerance other than 0.
    try {
        CheckResponseShape(taken.ResponseShape, ShapeSource::Settings);
    } catch (GlebixError &e) {
        e.Context().Setting = "ResponseShape";
        throw;
    }
    const bool bell = taken.ResponseShape != ResponseLogistic;
    if (!std::isfinite(taken.ResponseOptimum) || !std::isfinite(taken.ResponseTolerance) ||
        (bell && taken.ResponseTolerance == 0)) {
        throw GlebixError(EngineMessage(bell ? MessageKey("engine.tolerance_nonzero") : MessageKey("engine.tolerance"),
                                        {std::to_string(taken.ResponseShape)}),
                          ErrorContext{"ResponseTolerance", {}, 0, 0, {}});
    }
    return taken;
}

}  // namespace glebix
