// Run set-up: reseed, rebuild the plot from the initial-condition settings and input
// files, take the species values.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

#include "Conversions.h"
#include "Errors.h"
#include "FloatChecks.h"
#include "Simul.h"
#include "TextFileReader.h"

namespace glebix {

namespace {

// A real taken from a field must be a finite double.
double TakeReal(const std::string &text) {
    const double v = FieldToReal(text);
    if (!std::isfinite(v)) ThrowFloatFault(MsgOverflow);
    return v;
}

std::int32_t BoundToGrid(std::int32_t v) { return std::clamp(v, 1, GridSide); }

// Longest token a numeric triple member may have; a longer one cannot be a number
// of a file that a person or a program writes, and is refused as such.
constexpr std::size_t MaxTokenLength = 400;

// Reads the triples of an initial-condition file and hands each to `apply` with
// its row, column and value token. The row and column must lie in 1..50.
template <typename Apply>
void ReadTriples(const std::string &path, Apply apply) {
    TextFileReader reader(path);
    std::string row, column, value;
    for (;;) {
        if (!reader.ReadToken(row, MaxTokenLength + 1)) return;
        if (!reader.ReadToken(column, MaxTokenLength + 1) || !reader.ReadToken(value, MaxTokenLength + 1))
            ThrowBadNumber();  // the file ends inside a triple
        if (row.size() > MaxTokenLength || column.size() > MaxTokenLength || value.size() > MaxTokenLength)
            ThrowBadNumber();
        const auto i = ParseWholeToken(row);
        const auto j = ParseWholeToken(column);
        if (!i || !j) ThrowBadNumber();
        if (*i < 1 || *i > GridSide || *j < 1 || *j > GridSide) {
            throw GlebixError("Case hors de la parcelle dans le fichier « " + path + " » : ligne " +
                              std::to_string(*i) + ", colonne " + std::to_string(*j) +
                              " (les deux doivent aller de 1 à 50)");
        }
        apply(*i - 1, *j - 1, value);
    }
}

}  // namespace

std::int32_t ChartCellFromField(const std::string &text) { return BoundToGrid(FieldToInteger(text)); }

void Simul::ReseedFromClock() {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch();
    RandomSeed = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(ticks).count());
}

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
    ChartCellX = BoundToGrid(FieldToInteger(Settings.Run.ChartCellX));
    ChartCellY = BoundToGrid(FieldToInteger(Settings.Run.ChartCellY));
    const double envConstant = TakeReal(in.EnvConstant);
    const double envMean = TakeReal(in.EnvMean);
    const double envVariability = TakeReal(in.EnvVariability);
    const std::int32_t distConstant = FieldToInteger(in.DistConstant);
    const std::int32_t distMean = FieldToInteger(in.DistMean);
    const double distVariability = TakeReal(in.DistVariability);

    Plot.CellSize = 1;
    Plot.NRows = GridSide * Plot.CellSize;
    Plot.NCols = GridSide * Plot.CellSize;

    const std::int32_t envMode = in.EnvInitMode;
    const std::int32_t distMode = in.DistInitMode;
    for (int i = 1; i <= GridSide; ++i) {
        for (int j = 1; j <= GridSide; ++j) {
            TCellEnv &env = Plot.Env[i - 1][j - 1];
            switch (envMode) {
            case 0:
                // Cells the file does not name keep these values: -5 and its complement.
                env.Compacted = -5;
                env.Decompacted = 105;
                break;
            case 1: {
                const long double u = RandomUniform();
                const long double x = u * 2 * envVariability + (static_cast<long double>(envMean) - envVariability);
                const double compacted = static_cast<double>(std::min(std::max(0.0L, x), 100.0L));
                env.Compacted = compacted;
                env.Decompacted = std::max(0.0, std::min(100.0 - compacted, 100.0));
                break;
            }
            case 2: {
                env.Compacted = envConstant;
                env.Decompacted = StoreDouble(100.0L - envConstant);
                break;
            }
            default:
                break;  // no other mode can be selected
            }
            std::int32_t &count = Plot.Density[i - 1][j - 1];
            switch (distMode) {
            case 0:
                count = 0;
                break;
            case 1: {
                const long double u = RandomUniform();
                const long double x = u * 2 * distVariability + (static_cast<long double>(distMean) - distVariability);
                count = Narrow32(std::max<std::int64_t>(0, Nearest(x)));
                break;
            }
            case 2:
                count = distConstant;
                break;
            case 3:
                count = i < 50.0L / 3.0L ? distConstant : 0;
                break;
            case 4:
                count = (i > 23.75 && i < 26.25 && j > 23.75 && j < 26.25) ? distConstant : 0;
                break;
            default:
                break;
            }
        }
    }

    if (envMode == 0) ReadEnvironmentFile(in.EnvFilePath);
    if (distMode == 0) ReadDistributionFile(in.DistFilePath);
}

void Simul::ReadEnvironmentFile(const std::string &path) {
    ReadTriples(path, [this](int i, int j, const std::string &token) {
        const auto value = ParseRealToken(token);
        if (!value) ThrowBadNumber();
        if (!std::isfinite(*value)) ThrowFloatFault(MsgOverflow);
        Plot.Env[i][j].Compacted = *value;
        Plot.Env[i][j].Decompacted = std::max(0.0, 100.0 - *value);
    });
}

void Simul::ReadDistributionFile(const std::string &path) {
    ReadTriples(path, [this](int i, int j, const std::string &token) {
        const auto value = ParseWholeToken(token);
        if (!value) ThrowBadNumber();
        Plot.Density[i][j] = *value;
    });
}

void Simul::TakeSpeciesParameters() {
    const SpeciesSettings &s = Settings.Species;
    RunSpecies taken;
    taken.Survival = TakeReal(s.Survival);
    taken.Fecundity = TakeReal(s.Fecundity);
    taken.ResponseShape = s.ResponseShape;
    taken.ResponseOptimum = s.ResponseOptimum;
    taken.ResponseTolerance = s.ResponseTolerance;
    taken.DispersalSensitivity = FieldToInteger(s.DispersalSensitivity);
    taken.DispersalSigma = TakeReal(s.DispersalSigma);
    taken.CompactionC = TakeReal(s.CompactionC);
    taken.MortalityAlpha = TakeReal(s.MortalityAlpha);

    // The response curve needs a known shape, finite parameters and, for the two
    // bell shapes, a tolerance other than 0.
    if (taken.ResponseShape < 0 || taken.ResponseShape > 2) {
        throw GlebixError("Forme de la réponse au milieu inconnue : " + std::to_string(taken.ResponseShape) +
                          " (valeurs admises : 0, 1 ou 2)");
    }
    if (!std::isfinite(taken.ResponseOptimum) || !std::isfinite(taken.ResponseTolerance) ||
        (taken.ResponseShape != 2 && taken.ResponseTolerance == 0)) {
        throw GlebixError("Réponse au milieu de forme " + std::to_string(taken.ResponseShape) +
                          " : la tolérance doit être un nombre fini" +
                          (taken.ResponseShape != 2 ? " différent de 0" : ""));
    }
    Species = taken;
}

}  // namespace glebix
