#include "StateFile.h"

#include <cerrno>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Conversions.h"
#include "Errors.h"
#include "InitialSources.h"
#include "SettingsRegistry.h"
#include "Sha256.h"
#include "StateReach.h"

namespace glebix {

namespace {

// ---- Writing -------------------------------------------------------------------

template <typename T>
void AppendNumber(std::string &out, T v) {
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

void AppendValue(std::string &out, const std::string &text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 32 || c == 127) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}
void AppendValue(std::string &out, bool flag) { out += flag ? "on" : "off"; }
void AppendValue(std::string &out, std::int32_t v) { AppendNumber(out, v); }
void AppendValue(std::string &out, double v) { AppendShortest(out, v); }

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

namespace {

// ---- Reading -------------------------------------------------------------------

// The lines of a state file's body, each read once in order, with its number for
// the error's context.
class LineCursor {
public:
    LineCursor(std::string_view body, const std::string &path) : rest_(body), path_(path) {}

    [[noreturn]] void Fail(const std::string &what) const {
        throw GlebixError("fichier d'état incorrect : " + what, ErrorContext{{}, path_, line_, 0, {}});
    }
    std::string_view Next(const char *expected) {
        if (rest_.empty()) Fail(std::string("« ") + expected + " » manque");
        const auto end = rest_.find('\n');
        const std::string_view line = rest_.substr(0, end);
        rest_.remove_prefix(end + 1);
        ++line_;
        current_ = line;
        return line;
    }
    // The rest of the next line after "<key> ", which it must begin with.
    std::string_view Keyed(std::string_view key) {
        std::string_view line = Next(std::string(key).c_str());
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ')
            Fail("« " + std::string(key) + " » attendu");
        return line.substr(key.size() + 1);
    }
    bool AtEnd() const { return rest_.empty(); }
    bool NextBegins(std::string_view prefix) const { return rest_.substr(0, prefix.size()) == prefix; }
    // The line read last, for a message that quotes it.
    std::string_view Current() const { return current_; }

private:
    std::string_view rest_, current_;
    const std::string &path_;
    std::int64_t line_ = 1;  // the magic line is line 1
};

template <typename T>
bool ParseNumber(std::string_view text, T &value) {
    if (text.empty() || text.front() == '+') return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseValue(std::string_view text, std::string &value) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    value.clear();
    for (std::size_t k = 1; k + 1 < text.size(); ++k) {
        char c = text[k];
        if (c == '"') return false;
        if (c == '\\') {
            if (k + 2 >= text.size()) return false;
            c = text[++k];
            if (c == 'x') {
                unsigned byte = 0;
                if (k + 3 >= text.size()) return false;
                const auto [ptr, ec] = std::from_chars(text.data() + k + 1, text.data() + k + 3, byte, 16);
                if (ec != std::errc() || ptr != text.data() + k + 3) return false;
                c = static_cast<char>(byte);
                k += 2;
            } else if (c != '"' && c != '\\') {
                return false;
            }
        }
        value += c;
    }
    return true;
}
bool ParseValue(std::string_view text, bool &value) {
    if (text != "on" && text != "off") return false;
    value = text == "on";
    return true;
}
bool ParseValue(std::string_view text, std::int32_t &value) { return ParseNumber(text, value); }
bool ParseValue(std::string_view text, double &value) { return ParseNumber(text, value); }

// The text of a value as a setting's check sees it: a text unquoted, any other as written.
std::string_view CheckedText(std::string_view, const std::string &value) { return value; }
template <typename T>
std::string_view CheckedText(std::string_view written, const T &) {
    return written;
}

// The items of one kind ("setting", "species"), in the order they were written; each
// item's name, text and value go to `check` once read, which fails on the item's line.
template <typename Visitor, typename Check>
void ReadItems(LineCursor &lines, const char *kind, Visitor visitAll, Check check) {
    visitAll([&lines, kind, &check](std::string_view name, auto &value) {
        const std::string key = std::string(kind) + " " + std::string(name);
        const std::string_view written = lines.Keyed(key);
        if (!ParseValue(written, value)) lines.Fail("valeur illisible de « " + key + " »");
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
        if (!ParseValue(written, value)) lines.Fail("valeur illisible de « setting " + std::string(name) + " »");
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
        if (blank == std::string_view::npos) lines.Fail("« setting " + name + " » sans valeur");
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            lines.Fail("« setting " + name + " » donné deux fois");
        if (!ReadSetting(lines, name, rest.substr(blank + 1), settings, checkSetting))
            lines.Fail("paramètre inconnu « " + name + " »");
        seen.push_back(name);
    }
    for (const SettingRow &row : SettingRows())
        if (row.firstStateVersion <= version && !row.omittedWhenDefault &&
            std::find(seen.begin(), seen.end(), row.name) == seen.end())
            lines.Fail("« setting " + std::string(row.name) + " » manque");
}

// The shape the settings read give, or a failure on the line read last.
PlotShape ShapeRead(LineCursor &lines, const TSettings &settings) {
    try {
        return PlotShapeOf(settings.Plot);
    } catch (const GlebixError &e) { lines.Fail(std::string(e.what())); }
}

// The species values, which must be the ones set-up takes from `settings`.
void ReadSpecies(LineCursor &lines, const TSettings &settings, RunSpecies &species) {
    std::vector<std::string> expected;
    try {
        expected = SpeciesTexts(SpeciesTakenFrom(settings.Species));
    } catch (const GlebixError &e) {
        lines.Fail(std::string("les paramètres de l'espèce ne se prennent pas : ") + e.what());
    }
    std::size_t k = 0;
    ReadItems(
        lines, "species", [&species](auto visit) { VisitRunSpecies(species, visit); },
        [&lines, &expected, &k](std::string_view name, std::string_view text) {
            if (text != expected[k++])
                lines.Fail("valeur « " + std::string(text) + " » de « species " + std::string(name) +
                           " », où les paramètres donnent « " + expected[k - 1] + " »");
        });
}

std::uint32_t ReadUnsigned(LineCursor &lines, const char *key) {
    std::uint32_t v = 0;
    if (!ParseNumber(lines.Keyed(key), v)) lines.Fail(std::string("valeur illisible de « ") + key + " »");
    return v;
}

std::int32_t ReadStepNumber(LineCursor &lines, const char *key) {
    std::int32_t v = 0;
    if (!ParseNumber(lines.Keyed(key), v) || v < 0) lines.Fail(std::string("valeur illisible de « ") + key + " »");
    return v;
}

// Three whole numbers or two (chart_cell, plot_extent), separated by single blanks.
template <std::size_t N>
void ReadNumbers(LineCursor &lines, const char *key, std::int32_t (&values)[N]) {
    std::string_view text = lines.Keyed(key);
    for (std::size_t k = 0; k < N; ++k) {
        const auto blank = k + 1 < N ? text.find(' ') : text.size();
        if (blank == std::string_view::npos || !ParseNumber(text.substr(0, blank), values[k]))
            lines.Fail(std::string("valeurs illisibles de « ") + key + " »");
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
            lines.Fail("valeurs illisibles de « grid_placement » : « " + std::string(lines.Current()) + " »");
        text.remove_prefix(std::min(text.size(), blank + 1));
    }
    if (!(values[2] > 0)) lines.Fail("« grid_placement » : la taille de case doit être positive");
    if (ReadInitialSources(initial).empty())
        lines.Fail("« grid_placement » sans fichier initial (seule une grille lue en donne une)");
    return GridPlacement{values[0], values[1], values[2]};
}

// A grid's lines; `cell` reads one value and returns false for a value it cannot read,
// or fails on the line for one beyond reach.
template <typename Cell>
void ReadGrid(LineCursor &lines, const char *name, const TPlot &plot, Cell cell) {
    if (lines.Next(name) != name) lines.Fail(std::string("« ") + name + " » attendu");
    for (int i = 0; i < plot.Width; ++i) {
        std::string_view text = lines.Next(name);
        for (int j = 0; j < plot.Height; ++j) {
            const auto blank = j + 1 < plot.Height ? text.find(' ') : text.size();
            if (blank == std::string_view::npos || !cell(text.substr(0, blank), i, j))
                lines.Fail(std::string("grille « ") + name + " » : il faut " + std::to_string(plot.Height) +
                           " nombres par ligne");
            text.remove_prefix(std::min(text.size(), blank + 1));
        }
    }
}

void ReadPlot(LineCursor &lines, const ReachableState &reach, TPlot &plot) {
    auto fail = [&lines](const std::optional<std::string> &problem) {
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

// The first line, then the checksum: what a file is and whether it is whole come
// before what it says. Returns the body that the checksum covers.
std::string_view CheckEnvelope(std::string_view text, const std::string &path, std::string &checksum, int &version) {
    const ErrorContext where{{}, path, 0, 0, {}};
    const std::string magic = std::string(StateFileMagic) + " ";
    const std::string_view first = text.substr(0, text.find('\n'));
    if (first.substr(0, magic.size()) != magic)
        throw GlebixError("ce n'est pas un fichier d'état de Glebix (la première ligne doit être « " + magic +
                              std::to_string(StateFileVersion) + " »)",
                          where);
    if (!ParseNumber(first.substr(magic.size()), version) || version < 1)
        throw GlebixError("version de fichier d'état illisible : « " + std::string(first) + " »", where);
    if (version > StateFileVersion)
        throw GlebixError("fichier d'état de version " + std::to_string(version) +
                              ", plus récente que celle que ce programme sait lire (" +
                              std::to_string(StateFileVersion) + ")",
                          where);
    const std::string_view key = "sha256 ";
    const auto lastStart = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string_view::npos;
    const std::string_view last = lastStart == std::string_view::npos ? std::string_view() : text.substr(lastStart + 1);
    if (text.back() != '\n' || last.size() != key.size() + 65 || last.substr(0, key.size()) != key)
        throw GlebixError("fichier d'état tronqué : la ligne finale « sha256 » manque", where);
    const std::string_view body = text.substr(0, lastStart + 1);
    checksum = std::string(last.substr(key.size(), 64));
    if (Sha256Hex(body) != checksum)
        throw GlebixError(
            "fichier d'état modifié ou abîmé : sa somme de contrôle SHA-256 ne correspond pas à son "
            "contenu",
            where);
    return body.substr(first.size() + 1);
}

// The chart cell, the seeds, the steps and the generator state, each as set-up and
// the steps leave them.
void ReadRunPlace(LineCursor &lines, const PlotShape &shape, SavedRun &run) {
    std::int32_t chart[2];
    ReadNumbers(lines, "chart_cell", chart);
    run.ChartCell = TakenChartCell(run.Settings.Run, shape);
    if (chart[0] != run.ChartCell.I || chart[1] != run.ChartCell.J)
        lines.Fail("case du graphique « " + std::string(lines.Current()) + " » autre que celle des paramètres");
    run.MasterSeed = ReadUnsigned(lines, "master_seed");
    run.RunSeed = ReadUnsigned(lines, "run_seed");
    run.Step = ReadStepNumber(lines, "step");
    run.StepCount = ReadStepNumber(lines, "step_count");
    if (run.StepCount != FieldToInteger(run.Settings.Run.StepCount))
        lines.Fail("nombre de pas « " + std::string(lines.Current()) + " » autre que celui du paramètre StepCount");
    if (run.Step > run.StepCount) lines.Fail("le pas atteint dépasse le nombre de pas de la simulation");
    run.Generator = ReadUnsigned(lines, "generator");
    // Every generator state follows some other, so only set-up's is known.
    const std::uint64_t cells = std::uint64_t(shape.Width) * std::uint64_t(shape.Height);
    if (run.Step == 0 && run.Generator != AdvanceRandom(run.RunSeed, SetUpDraws(run.Settings.Initial, cells)))
        lines.Fail("état du générateur « " + std::string(lines.Current()) +
                   " » autre que celui que la mise en place laisse au pas 0");
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
    std::int32_t extent[3];
    ReadNumbers(lines, "plot_extent", extent);
    if (extent[0] != shape.Width || extent[1] != shape.Height || extent[2] != 1)
        lines.Fail("étendue « " + std::string(lines.Current()) + " » : la parcelle est de " +
                   std::to_string(shape.Width) + " × " + std::to_string(shape.Height) + " cases de 1");
    run.Plot = TPlot(shape.Width, shape.Height);
    run.Plot.Bounded = shape.Bounded;
    run.Plot.NRows = extent[0];
    run.Plot.NCols = extent[1];
    run.Plot.CellSize = extent[2];
    ReadPlot(lines, ReachableState(run.Settings, run.Species, run.Step), run.Plot);
    if (!lines.AtEnd()) {
        lines.Next("");
        lines.Fail("ligne en trop après les grilles");
    }
    return run;
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
