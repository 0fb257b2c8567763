#include "StateFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Conversions.h"
#include "Errors.h"
#include "SettingsRegistry.h"
#include "Sha256.h"
#include "StateValues.h"

namespace glebix {

namespace {

using state::AppendNumber;
using state::AppendValue;

void AppendKeyed(std::string &out, const char *key, std::uint32_t v) {
    out += key;
    out += ' ';
    AppendNumber(out, v);
    out += '\n';
}

// About what a cell takes in the three grids: a count and two reals of up to 17 digits,
// with their separators.
constexpr std::size_t StateBytesPerCell = 48;

template <typename Cell>
void AppendGrid(std::string &out, const char *name, const TPlot &plot, Cell cell) {
    out += name;
    out += '\n';
    for (int i = 0; i < plot.Width; ++i) {
        for (int j = 0; j < plot.Height; ++j) {
            if (j > 0) out += ' ';
            cell(out, i, j);
        }
        out += '\n';
    }
}

}  // namespace

SavedRun CaptureRun(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                    std::int32_t stepCount) {
    SavedRun run;
    run.Settings = simul.Settings;
    run.Species = simul.Species;
    run.ChartCell = simul.ChartCell();
    run.MasterSeed = masterSeed;
    run.RunSeed = runSeed;
    run.Step = step;
    run.StepCount = stepCount;
    run.Generator = simul.RandomSeed;
    run.InputGridPlacement = simul.InputGridPlacement;
    run.Plot = simul.Plot;
    return run;
}

void RestoreRun(const SavedRun &run, Simul &simul) {
    simul.Settings = run.Settings;
    simul.Species = run.Species;
    simul.SetChartCell(run.ChartCell);
    simul.RandomSeed = run.Generator;
    simul.RunSeed = run.RunSeed;
    simul.InputGridPlacement = run.InputGridPlacement;
    simul.Plot = run.Plot;
}

std::string StateFileText(const SavedRun &run) {
    std::string out = std::string(StateFileMagic) + " " + std::to_string(StateFileVersion) + "\n";
    out.reserve(3 * static_cast<std::size_t>(run.Plot.Cells()) * 20);
    // One line "<kind> <name> <value>" per field.
    auto lines = [&out](const char *kind) {
        return [&out, kind](std::string_view name, const auto &value) {
            out += kind;
            out += ' ';
            out += name;
            out += ' ';
            AppendValue(out, value);
            out += '\n';
        };
    };
    // The plot's shape as the plot has it, whether its settings or a grid gave it; the
    // rows that a default value leaves out are not written then.
    TSettings written = run.Settings;
    written.Plot = PlotSettings{std::to_string(run.Plot.Width), std::to_string(run.Plot.Height),
                                run.Plot.Bounded ? EdgesBounded : EdgesTorus};
    VisitSettings(written, [&lines](const SettingRow &row, const auto &value) {
        if (!row.omittedWhenDefault || !IsDefaultValue(row, value)) lines("setting")(row.name, value);
    });
    VisitRunSpecies(run.Species, lines("species"));
    out += "chart_cell " + std::to_string(run.ChartCell.I) + " " + std::to_string(run.ChartCell.J) + "\n";
    AppendKeyed(out, "master_seed", run.MasterSeed);
    AppendKeyed(out, "run_seed", run.RunSeed);
    out += "step " + std::to_string(run.Step) + "\nstep_count " + std::to_string(run.StepCount) + "\n";
    AppendKeyed(out, "generator", run.Generator);
    out += "grid_placement ";
    if (const auto &p = run.InputGridPlacement)
        out += FormatShortest(p->XllCorner) + " " + FormatShortest(p->YllCorner) + " " + FormatShortest(p->CellSize);
    else
        out += "none";
    out += "\nplot_extent " + std::to_string(run.Plot.NRows) + " " + std::to_string(run.Plot.NCols) + " " +
           std::to_string(run.Plot.CellSize) + "\n";
    const TPlot &plot = run.Plot;
    out.reserve(out.size() + static_cast<std::size_t>(plot.Cells()) * StateBytesPerCell);
    AppendGrid(out, "density", plot, [&plot](std::string &o, int i, int j) { AppendNumber(o, plot.Density[i][j]); });
    AppendGrid(out, "compacted", plot,
               [&plot](std::string &o, int i, int j) { AppendShortest(o, plot.Env[i][j].Compacted); });
    AppendGrid(out, "decompacted", plot,
               [&plot](std::string &o, int i, int j) { AppendShortest(o, plot.Env[i][j].Decompacted); });
    out += "sha256 " + Sha256Hex(out) + "\n";
    return out;
}

std::string WriteStateFile(const std::string &path, const SavedRun &run) {
    const std::string text = StateFileText(run);
    WriteFileAtomically(path, text);
    return text.substr(text.size() - 65, 64);
}

namespace {

// Far beyond any state file (about 60 bytes a cell, 150 kB at 50 x 50): a larger
// file is not one.
constexpr std::size_t StateFileLimit = std::size_t{64} * MaxPlotSide * MaxPlotSide + (std::size_t{1} << 20);

}  // namespace

SavedRun ReadStateFile(const std::string &path, SettingCheck checkSetting) {
    std::string text;
    try {
        if (path.empty()) ThrowIoError(ENOENT, path);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) ThrowIoError(errno, path);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            ThrowIoError(EISDIR, path);
        }
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || text.size() + static_cast<std::size_t>(n) > StateFileLimit) {
                const int failure = n < 0 ? errno : 0;
                ::close(fd);
                if (failure) ThrowIoError(failure, path);
                if (n > 0) throw GlebixError("ce n'est pas un fichier d'état de Glebix (bien trop grand)");
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    } catch (GlebixError &e) {
        e.Context().Path = path;
        throw;
    }
    if (text.empty()) throw GlebixError("fichier d'état vide", ErrorContext{{}, path, 0, 0, {}});
    return ParseStateFile(text, path, checkSetting);
}

}  // namespace glebix
