#include "StateFile.h"

#include <cerrno>
#include <functional>
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
// The size of the pieces a state file is written in.
constexpr std::size_t PieceBytes = std::size_t{1} << 20;

// The text so far, handed on in pieces of about PieceBytes and checksummed as it goes.
struct Pieces {
    const std::function<void(std::string_view)> &sink;
    std::string out;
    Sha256Stream hash;

    void Flush() {
        hash.Update(out);
        sink(out);
        out.clear();
    }
    void FlushWhenFull() {
        if (out.size() >= PieceBytes) Flush();
    }
};

template <typename Cell>
void AppendGrid(Pieces &pieces, const char *name, const TPlot &plot, Cell cell) {
    std::string &out = pieces.out;
    out += name;
    out += '\n';
    for (int i = 0; i < plot.Width; ++i) {
        for (int j = 0; j < plot.Height; ++j) {
            if (j > 0) out += ' ';
            cell(out, i, j);
        }
        out += '\n';
        pieces.FlushWhenFull();
    }
}

}  // namespace

StateHeader CaptureHeader(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                          std::int32_t stepCount) {
    StateHeader header;
    header.Settings = simul.Settings;
    header.Species = simul.Species;
    header.ChartCell = simul.ChartCell();
    header.MasterSeed = masterSeed;
    header.RunSeed = runSeed;
    header.Step = step;
    header.StepCount = stepCount;
    header.Generator = simul.RandomSeed;
    header.InputGridPlacement = simul.InputGridPlacement;
    return header;
}

SavedRun CaptureRun(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                    std::int32_t stepCount) {
    SavedRun run;
    static_cast<StateHeader &>(run) = CaptureHeader(simul, masterSeed, runSeed, step, stepCount);
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

namespace {

// The lines before the grids, of a plot of `plot`'s shape.
void AppendHeader(std::string &out, const StateHeader &run, const TPlot &plot) {
    out += std::string(StateFileMagic) + " " + std::to_string(StateFileVersion) + "\n";
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
    written.Plot =
        PlotSettings{std::to_string(plot.Width), std::to_string(plot.Height), plot.Bounded ? EdgesBounded : EdgesTorus};
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
    out += "\nplot_extent " + std::to_string(plot.NRows) + " " + std::to_string(plot.NCols) + " " +
           std::to_string(plot.CellSize) + "\n";
}

}  // namespace

std::string WriteStateText(const StateSource &state, const std::function<void(std::string_view)> &sink) {
    Pieces pieces{sink, {}, {}};
    AppendHeader(pieces.out, state.Header, state.Plot);
    const TPlot &plot = state.Plot;
    const CellGrid<std::int32_t> &density = state.Density;
    AppendGrid(pieces, "density", plot, [&density](std::string &o, int i, int j) { AppendNumber(o, density[i][j]); });
    AppendGrid(pieces, "compacted", plot,
               [&plot](std::string &o, int i, int j) { AppendShortest(o, plot.Env[i][j].Compacted); });
    AppendGrid(pieces, "decompacted", plot,
               [&plot](std::string &o, int i, int j) { AppendShortest(o, plot.Env[i][j].Decompacted); });
    pieces.Flush();
    const std::string digest = pieces.hash.HexDigest();
    sink("sha256 " + digest + "\n");
    return digest;
}

std::string StateFileText(const SavedRun &run) {
    std::string text;
    text.reserve(static_cast<std::size_t>(run.Plot.Cells()) * StateBytesPerCell + PieceBytes);
    WriteStateText(SourceOf(run), [&text](std::string_view piece) { text += piece; });
    return text;
}

std::string WriteStateFile(const std::string &path, const StateSource &state) {
    std::string digest;
    WriteFileAtomically(path, [&](const PieceSink &sink) { digest = WriteStateText(state, sink); });
    return digest;
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
