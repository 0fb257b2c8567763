#include "StateFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Conversions.h"
#include "Errors.h"
#include "EventsState.h"
#include "OrderedPieces.h"
#include "SettingsRegistry.h"
#include "Sha256.h"
#include "StateValues.h"
#include "Threads.h"

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
// The most a piece of the grids' text takes while it is made: whole rows, each value
// given MaxValueBytes.
constexpr std::size_t PieceBytes = std::size_t{1} << 20;
// The most a value takes with the blank or line end after it: a real in shortest form
// has up to 24 characters ("-2.2250738585072014e-308"), a count 11.
constexpr std::size_t MaxValueBytes = 25;

// Appends rows `first` to `end` - 1 of a grid of `columns` columns, `format(at, limit,
// i, j)` writing cell (i, j) at `at`, short of `limit`, and returning the end of what it
// wrote.
template <typename Format>
void AppendRows(std::string &out, int first, int end, int columns, Format format) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(end - first) * columns * MaxValueBytes);
    char *at = out.data() + start;
    char *const limit = out.data() + out.size();
    for (int i = first; i < end; ++i) {
        for (int j = 0; j < columns; ++j) {
            if (j > 0) *at++ = ' ';
            at = format(at, limit, i, j);
        }
        *at++ = '\n';
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
}

// The three grids' text, each its name's line and its rows, cut into pieces of whole
// rows that can be made in any order.
struct GridPieces {
    const TPlot &plot;
    const CellGrid<std::int32_t> &density;
    int rowsPerPiece = std::max<int>(1, static_cast<int>(PieceBytes / (MaxValueBytes * plot.Height)));
    int piecesPerGrid = (plot.Width + rowsPerPiece - 1) / rowsPerPiece;

    // The habitat grid follows the soil's when the plot has a mask.
    int grids = plot.Habitat.Size() > 0 ? 4 : 3;

    std::size_t Count() const { return static_cast<std::size_t>(grids) * piecesPerGrid; }
    void Make(std::size_t index, std::string &out) const {
        static constexpr const char *names[] = {"density\n", "compacted\n", "decompacted\n", "habitat\n"};
        const int grid = static_cast<int>(index / piecesPerGrid), piece = static_cast<int>(index % piecesPerGrid);
        if (piece == 0) out += names[grid];
        const int first = piece * rowsPerPiece, end = std::min(plot.Width, first + rowsPerPiece);
        if (grid == 0) {
            AppendRows(out, first, end, plot.Height, [this](char *at, char *limit, int i, int j) {
                return std::to_chars(at, limit, density[i][j]).ptr;
            });
            return;
        }
        if (grid == 3) {
            AppendRows(out, first, end, plot.Height, [this](char *at, char *limit, int i, int j) {
                return std::to_chars(at, limit, int{plot.Habitat[i][j]}).ptr;
            });
            return;
        }
        const double TCellEnv::*share = grid == 1 ? &TCellEnv::Compacted : &TCellEnv::Decompacted;
        AppendRows(out, first, end, plot.Height, [this, share](char *at, char *limit, int i, int j) {
            return std::to_chars(at, limit, plot.Env[i][j].*share).ptr;
        });
    }
};

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
    header.InputGridCrs = simul.InputGridCrs;
    header.Events = simul.Events;
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
    simul.InputGridCrs = run.InputGridCrs;
    simul.Plot = run.Plot;
    simul.Events = run.Events;
    simul.StepsBegun = run.Step;
    simul.SettingsBeforeEvents.reset();
}

namespace {

// The soil maps in use, each its name's line and its rows: the values themselves, so that
// a resumed run needs none of the files.
void AppendSoilMaps(std::string &out, const TPlot &plot) {
    for (const auto &[name, map] : {std::pair{"compaction_c_map\n", &plot.Soil.CompactionC},
                                    std::pair{"decompaction_d_map\n", &plot.Soil.DecompactionD}}) {
        if (map->empty()) continue;
        out += name;
        const double *values = map->data();
        const int height = plot.Height;
        AppendRows(out, 0, plot.Width, height, [values, height](char *at, char *limit, int i, int j) {
            return std::to_chars(at, limit, values[static_cast<std::size_t>(i) * height + j]).ptr;
        });
    }
}

// The lines before the grids, of a plot of `plot`'s shape.
void AppendHeader(std::string &out, const StateHeader &run, const TPlot &plot) {
    const bool keepsCrs = run.InputGridPlacement && run.InputGridCrs;
    const int version = plot.Habitat.Size() > 0 || plot.Soil.Any() || run.Events ? StateFileExtensionsVersion
                        : keepsCrs                                               ? StateFileCrsVersion
                                                                                 : StateFileFirstVersion;
    out += std::string(StateFileMagic) + " " + std::to_string(version) + "\n";
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
    written.Plot.Width = std::to_string(plot.Width);
    written.Plot.Height = std::to_string(plot.Height);
    written.Plot.Edges = plot.Bounded ? EdgesBounded : EdgesTorus;
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
    if (keepsCrs) {
        out += "\ngrid_crs ";
        AppendValue(out, *run.InputGridCrs);
    }
    out += "\nplot_extent " + std::to_string(plot.NRows) + " " + std::to_string(plot.NCols) + " " +
           std::to_string(plot.CellSize) + "\n";
    AppendSoilMaps(out, plot);
    if (run.Events) AppendEventsSection(out, *run.Events, plot.Width, plot.Height);
}

}  // namespace

std::string WriteStateText(const StateSource &state, const std::function<void(std::string_view)> &sink, int threads) {
    Sha256Stream hash;
    auto take = [&hash, &sink](std::string_view piece) {
        hash.Update(piece);
        sink(piece);
    };
    std::string header;
    AppendHeader(header, state.Header, state.Plot);
    take(header);
    const GridPieces grids{state.Plot, state.Density};
    // A plot whose grids are each a piece has no use for threads.
    const int processors = AvailableProcessors();
    threads = grids.piecesPerGrid == 1 ? 1 : threads <= 0 ? processors : std::min(threads, processors);
    MakePiecesInOrder(
        grids.Count(), threads, [&grids](std::size_t index, std::string &out) { grids.Make(index, out); }, take);
    const std::string digest = hash.HexDigest();
    sink("sha256 " + digest + "\n");
    return digest;
}

std::string StateFileText(const SavedRun &run) {
    std::string text;
    text.reserve(static_cast<std::size_t>(run.Plot.Cells()) * StateBytesPerCell + PieceBytes);
    WriteStateText(SourceOf(run), [&text](std::string_view piece) { text += piece; });
    return text;
}

std::string WriteStateFile(const std::string &path, const StateSource &state, int threads) {
    std::string digest;
    WriteFileAtomically(path, [&](const PieceSink &sink) { digest = WriteStateText(state, sink, threads); });
    return digest;
}

namespace {

// Far beyond any state file (about 60 bytes a cell, 150 kB at 50 x 50, and up to 50
// more with both soil maps): a larger file is not one.
constexpr std::size_t StateFileLimit = std::size_t{128} * MaxPlotSide * MaxPlotSide + (std::size_t{1} << 20);

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
                if (n > 0) throw GlebixError(MessageKey("engine.state_too_large"));
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    } catch (GlebixError &e) {
        e.Context().Path = path;
        throw;
    }
    if (text.empty()) throw GlebixError(MessageKey("engine.state_empty"), ErrorContext{{}, path, 0, 0, {}});
    return ParseStateFile(text, path, checkSetting);
}

}  // namespace glebix
