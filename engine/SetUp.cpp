// Run set-up: reseed, rebuild the plot from the initial-condition settings and input
// files, take the species values.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

#include "Conversions.h"
#include "Errors.h"
#include "FloatChecks.h"
#include "InitialFiles.h"
#include "InputFile.h"
#include "Response.h"
#include "Simul.h"

namespace glebix {

namespace {

// A real taken from a field must be a finite double; a refusal names the setting.
double TakeReal(const std::string &text, const char *setting) {
    const double v = FieldToReal(text);
    if (!std::isfinite(v)) throw GlebixError(MsgOverflow, ErrorContext{setting, {}, 0, 0, text});
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

std::int32_t BoundToGrid(std::int32_t v) { return std::clamp(v, 1, GridSide); }

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
        env.Compacted = v.EnvConstant;
        env.Decompacted = StoreDouble(100.0L - v.EnvConstant);
        break;
    default:
        break;  // no other mode can be selected
    }
}

// The initial count of cell (i, j), each from 1; the random mode makes one draw.
void InitialCount(std::int32_t mode, int i, int j, const InitialValues &v, Simul &simul, std::int32_t &count) {
    if (mode == DistModeRandom) {
        const long double u = simul.RandomUniform();
        const long double x = u * 2 * v.DistVariability + (static_cast<long double>(v.DistMean) - v.DistVariability);
        count = Narrow32(std::max<std::int64_t>(0, Nearest(x)));
    } else if (mode >= 0 && mode < DistModeCount) {
        count = PatternCount(mode, i, j, v.DistConstant);
    }
}

}  // namespace

std::int32_t PatternCount(std::int32_t mode, int i, int j, std::int32_t constant) {
    switch (mode) {
    case DistModeHomogeneous:
        return constant;
    case DistModeLeftThird:
        return i < 50.0L / 3.0L ? constant : 0;
    case DistModeCentre:
        return (i > 23.75 && i < 26.25 && j > 23.75 && j < 26.25) ? constant : 0;
    default:
        return 0;  // the file mode: cells the file does not name
    }
}

std::uint32_t SetUpDraws(const InitialSettings &in) {
    return (in.EnvInitMode == EnvModeRandom ? CellCount : 0) + (in.DistInitMode == DistModeRandom ? CellCount : 0);
}

std::int32_t ChartCellFromField(const std::string &text) { return BoundToGrid(FieldToInteger(text)); }

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
    InitialisePlot();
    TakeSpeciesParameters();
}

void Simul::InitialisePlot() {
    const InitialSettings &in = Settings.Initial;
    ChartCellX = ChartCellFromField(Settings.Run.ChartCellX);
    ChartCellY = ChartCellFromField(Settings.Run.ChartCellY);
    const InitialValues values = TakeInitialValues(in);

    Plot.CellSize = 1;
    Plot.NRows = GridSide * Plot.CellSize;
    Plot.NCols = GridSide * Plot.CellSize;
    // Each cell's environment draw comes before its distribution draw.
    for (int i = 1; i <= GridSide; ++i) {
        for (int j = 1; j <= GridSide; ++j) {
            InitialCellEnv(in.EnvInitMode, values, *this, Plot.Env[i - 1][j - 1]);
            InitialCount(in.DistInitMode, i, j, values, *this, Plot.Density[i - 1][j - 1]);
        }
    }
    // The files are read after the loop: the environment file first, each only when
    // its mode asks for it.
    InputGridPlacement.reset();
    if (in.EnvInitMode == EnvModeFile)
        InputGridPlacement =
            ReadInitialFile(ReadEnvironmentText, "EnvFilePath", in.EnvFilePath, GivenInputs.get(), Plot);
    if (in.DistInitMode == DistModeFile) {
        const auto placement =
            ReadInitialFile(ReadDistributionText, "DistFilePath", in.DistFilePath, GivenInputs.get(), Plot);
        if (!InputGridPlacement) InputGridPlacement = placement;
    }
}

void Simul::TakeSpeciesParameters() { Species = SpeciesTakenFrom(Settings.Species); }

RunSpecies SpeciesTakenFrom(const SpeciesSettings &s) {
    RunSpecies taken;
    taken.Survival = TakeReal(s.Survival, "Survival");
    taken.Fecundity = TakeReal(s.Fecundity, "Fecundity");
    taken.ResponseShape = s.ResponseShape;
    taken.ResponseOptimum = s.ResponseOptimum;
    taken.ResponseTolerance = s.ResponseTolerance;
    taken.DispersalSensitivity = FieldToInteger(s.DispersalSensitivity);
    taken.DispersalSigma = TakeReal(s.DispersalSigma, "DispersalSigma");
    taken.CompactionC = TakeReal(s.CompactionC, "CompactionC");
    taken.MortalityAlpha = TakeReal(s.MortalityAlpha, "MortalityAlpha");

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
        throw GlebixError("Réponse au milieu de forme " + std::to_string(taken.ResponseShape) +
                              " : la tolérance doit être un nombre fini" + (bell ? " différent de 0" : ""),
                          ErrorContext{"ResponseTolerance", {}, 0, 0, {}});
    }
    return taken;
}

}  // namespace glebix
