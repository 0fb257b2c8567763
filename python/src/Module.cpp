// The compiled part of the glebix package (glebix._core): the simulation with its
// grids as NumPy views into the engine, the settings table, the seeds, and the
// engine's error as glebix.GlebixError. glebix/__init__.py builds the public
// interface on it: Python values to setting texts, tables, sweeps.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "Conversions.h"
#include "Errors.h"
#include "EventInputs.h"
#include "FileIo.h"
#include "InitialSources.h"
#include "InputFile.h"
#include "RasterInput.h"
#include "Messages.h"
#include "NetcdfRecording.h"
#include "SettingsRegistry.h"
#include "StopRule.h"
#include "StudyTable.h"
#include "RunSettings.h"
#include "RunTrace.h"
#include "SeedMixing.h"
#include "Sensitivity.h"
#include "SettingsTable.h"
#include "Simul.h"
#include "SimulationHandle.h"
#include "SpeciesFile.h"
#include "StateFile.h"
#include "StudyPlan.h"
#include "StudyRunner.h"
#include "StudyRuns.h"
#include "ThreadCount.h"
#include "Warnings.h"

#ifndef GLEBIX_VERSION
#define GLEBIX_VERSION "unknown"
#endif

namespace py = pybind11;
using namespace glebix;
using namespace glebix::python;

namespace {

PyObject *GlebixErrorType = nullptr;

py::object TextOrNone(const std::string &text) { return text.empty() ? py::object(py::none()) : py::str(text); }
py::object PositionOrNone(std::int64_t v) { return v > 0 ? py::object(py::int_(v)) : py::object(py::none()); }

// glebix.GlebixError("<context> : <message>") with the message and each part of the
// context as attributes (None when unknown).
// A run of a study also gives its point and replicate, in front of the message too.
// A glebix.GlebixError for `e`, labelled with the run's place when `point` is above 0.
py::object GlebixErrorObject(const GlebixError &e, int point = 0, int replicate = 0) {
    const ErrorContext &c = e.Context();
    const std::string where =
        point > 0 ? core::Labelled(
                        core::Message("python.point_replicate", {std::to_string(point), std::to_string(replicate)}), "")
                  : "";
    py::object error = py::reinterpret_borrow<py::object>(GlebixErrorType)(where + core::LocalMessageWithContext(e));
    if (point > 0) {
        error.attr("point") = point;
        error.attr("replicate") = replicate;
    }
    error.attr("message") = py::str(core::LocalMessage(e.Message()));
    error.attr("setting") = TextOrNone(c.Setting);
    error.attr("path") = TextOrNone(c.Path);
    error.attr("line") = PositionOrNone(c.Line);
    error.attr("column") = PositionOrNone(c.Column);
    error.attr("token") = TextOrNone(c.Token);
    return error;
}

void SetGlebixError(const GlebixError &e, int point = 0, int replicate = 0) {
    PyErr_SetObject(GlebixErrorType, GlebixErrorObject(e, point, replicate).ptr());
}

// The species file's values travel as a plain tuple of its numbers, so that a sweep's
// tasks can be sent to other processes.
py::tuple SpeciesToTuple(const SpeciesFileContents &c) {
    py::tuple t(SpeciesFileValueCount);
    for (int k = 0; k < SpeciesFileValueCount; ++k) t[k] = c.Values[k];
    return t;
}

std::optional<SpeciesFileContents> SpeciesFromObject(const py::object &species) {
    if (species.is_none()) return std::nullopt;
    const auto t = species.cast<py::tuple>();
    if (t.size() != SpeciesFileValueCount)
        throw py::value_error(core::Message("python.species_values", {std::to_string(SpeciesFileValueCount)}));
    SpeciesFileContents c;
    for (int k = 0; k < SpeciesFileValueCount; ++k) c.Values[k] = t[k].cast<double>();
    ApplySpeciesValues(c.Values, c.Species);
    return c;
}

py::tuple ReadSpecies(const std::string &path) {
    try {
        return SpeciesToTuple(ReadSpeciesFile(path));
    } catch (GlebixError &e) {
        if (e.Context().Path.empty()) e.Context().Path = path;
        throw;
    }
}

py::dict SettingTexts(const TSettings &settings) {
    py::dict out;
    for (const std::string &name : core::SettingNames()) out[py::str(name)] = core::SettingText(name, settings);
    return out;
}

// What each setting is, for help: its kind, description, the part that reads it and
// whether it may change on resume.
py::dict SettingInfo() {
    py::dict out;
    for (const std::string &name : core::SettingNames()) {
        const SettingRow &row = *FindSettingRow(name);
        py::dict info;
        info["kind"] = core::SettingKindText(name);
        info["description"] = core::SettingDescription(row);
        info["process"] = std::string(row.process);
        info["changes_on_resume"] = row.changesOnResume();
        out[py::str(name)] = info;
    }
    return out;
}

template <typename T>
py::array_t<T> ColumnArray(const std::vector<T> &column) {
    return py::array_t<T>(static_cast<py::ssize_t>(column.size()), column.data());
}

// With `occupied`, the occupied cells and the plot's cells too, which a study's run
// metrics may need (run_metrics).
py::dict TraceDict(const TraceColumns &t, bool occupied = false) {
    py::dict out;
    out[TraceColumnNames[0]] = ColumnArray(t.Step);
    out[TraceColumnNames[1]] = ColumnArray(t.CellDensity);
    out[TraceColumnNames[2]] = ColumnArray(t.CellCompacted);
    out[TraceColumnNames[3]] = ColumnArray(t.CellDecompacted);
    out[TraceColumnNames[4]] = ColumnArray(t.MeanDensity);
    out[TraceColumnNames[5]] = ColumnArray(t.MeanCompacted);
    out[TraceColumnNames[6]] = ColumnArray(t.TotalDensity);
    if (t.Bounded) out[core::EmigrantsColumnName] = ColumnArray(t.Emigrants);
    if (t.Masked) out[core::LostColumnName] = ColumnArray(t.Lost);
    if (occupied) {
        out["_occupied_cells"] = ColumnArray(t.OccupiedCells);
        out["_cells"] = t.Cells;
        out["_stopped_by"] = t.StoppedBy;
    }
    return out;
}

// A read-only height x width view of engine memory laid out as the map, that keeps
// `owner` alive: index [k, l] is the map's line k from the top (the model's column
// height - k) and its column l from the left (the model's row l + 1). `cell11` is the
// model's cell (1, 1); a cell is `cellStride` bytes, a row of the model `height` cells.
template <typename T>
py::array MapView(const py::object &owner, const TPlot &plot, const T *cell11, py::ssize_t cellStride) {
    const py::ssize_t rowStride = cellStride * plot.Height;
    const auto *topLeft = reinterpret_cast<const char *>(cell11) + (plot.Height - 1) * cellStride;
    py::array_t<T> view({static_cast<py::ssize_t>(plot.Height), static_cast<py::ssize_t>(plot.Width)},
                        {-cellStride, rowStride}, reinterpret_cast<const T *>(topLeft), owner);
    view.attr("flags").attr("writeable") = false;
    return view;
}

const TPlot &PlotOf(const py::object &self) { return self.cast<SimulationHandle &>().Engine().Plot; }

// Thrown from inside the steps when Python has a pending signal (Ctrl-C); the
// Python error is raised once the lock on the interpreter is taken back.
struct Interrupted {};

unsigned long MainThreadId = 0;
// Signals reach Python in its main thread only, which looks for them this often
// while steps run: often enough for Ctrl-C, rarely enough to cost nothing even when
// other Python threads are busy.
constexpr auto SignalCheckInterval = std::chrono::milliseconds(100);

void StepReleased(SimulationHandle &h, std::int64_t count) {
    if (count < 0) throw py::value_error(core::Message("python.negative_steps", {std::to_string(count)}));
    std::function<void()> afterStep;
    if (PyThread_get_thread_ident() == MainThreadId) {
        afterStep = [last = std::chrono::steady_clock::now()]() mutable {
            const auto now = std::chrono::steady_clock::now();
            if (now - last < SignalCheckInterval) return;
            last = now;
            py::gil_scoped_acquire acquire;
            if (PyErr_CheckSignals() != 0) throw Interrupted{};
        };
    }
    try {
        py::gil_scoped_release release;
        h.Step(count, afterStep);
    } catch (const Interrupted &) { throw py::error_already_set(); }
}

// Input files read once for a whole study, shared by its runs; pickled with their
// bytes, so that runs in other processes use the same bytes without reading again.
struct InputStore {
    std::shared_ptr<InputBytes> Files = std::make_shared<InputBytes>();
};

void BindInputStore(py::module_ &m) {
    py::class_<InputStore>(m, "InputStore")
        .def(py::init<>())
        .def(
            "read", [](InputStore &s, const std::string &path) { gis::ReadInitialInputOnce(*s.Files, path); },
            py::arg("path"), py::call_guard<py::gil_scoped_release>(),
            "Reads the file unless already held; a failed read is kept and fails the runs that use it.")
        .def(
            "read_events",
            [](InputStore &s, const py::object &species, const NamedTexts &settings, std::int64_t steps) {
                TSettings run = BuildRunSettings(SpeciesFromObject(species), settings);
                run.Run.StepCount = std::to_string(steps);
                py::gil_scoped_release release;
                core::EventInputFiles(run, *s.Files);
                const std::vector<std::string> problems = core::RunScheduleProblems(run, s.Files, false);
                if (!problems.empty()) throw GlebixError(problems.front());
            },
            py::arg("species"), py::arg("settings"), py::arg("steps"),
            "Reads the schedule of management events these settings name, and its masks, unless already held, "
            "and refuses it with its first problem for a run of `steps` steps.")
        .def("__len__", [](const InputStore &s) { return s.Files->size(); })
        .def(py::pickle(
            [](const InputStore &s) {
                py::list files;
                for (const auto &[path, read] : *s.Files) {
                    py::object bytes = read.Bytes ? py::object(py::bytes(*read.Bytes)) : py::object(py::none());
                    files.append(py::make_tuple(path, bytes, core::LocalMessage(read.Error)));
                }
                return files;
            },
            [](const py::list &files) {
                InputStore s;
                for (const py::handle &f : files) {
                    const auto t = f.cast<py::tuple>();
                    ReadInput read;
                    if (!t[1].is_none()) read.Bytes = std::make_shared<const std::string>(t[1].cast<std::string>());
                    read.Error = EngineMessage::Text(t[2].cast<std::string>());
                    (*s.Files)[t[0].cast<std::string>()] = std::move(read);
                }
                return s;
            }));
}

// The input files a run with these settings reads at set-up.
std::vector<std::string> InputPaths(const TSettings &s) {
    std::vector<std::string> paths;
    for (const InitialSource &source : ReadInitialSources(s.Initial)) paths.push_back(source.path);
    return paths;
}

// Every warning of runs with these settings, and of the design's points (number, named
// texts) whose own settings change them, each point's prefixed with its number.
std::vector<std::string> RunWarnings(const std::string &speciesPath, const NamedTexts &named,
                                     const std::vector<std::pair<int, NamedTexts>> &points, const InputStore *inputs) {
    std::optional<SpeciesFileContents> species;
    std::vector<std::string> speciesPaths;
    if (!speciesPath.empty()) {
        species = ReadSpeciesFile(speciesPath);
        speciesPaths.push_back(speciesPath);
    }
    std::vector<std::pair<int, TSettings>> pointSettings;
    for (const auto &[point, texts] : points) {
        NamedTexts all = named;
        all.insert(all.end(), texts.begin(), texts.end());
        pointSettings.emplace_back(point, BuildRunSettings(species, all));
    }
    InputBytes scratch;
    InputBytes &files = inputs ? *inputs->Files : scratch;
    return core::RunWarnings(BuildRunSettings(species, named), pointSettings, speciesPaths, files).All();
}

using TaskTuple = std::tuple<int, int, std::uint32_t, std::int32_t, NamedTexts>;

// glebix.sweep's runs on local threads, each ending where one of `stopRules` holds; `report` (None or a callable) is
// told of the runs as they end, and Ctrl-C stops them after their present step. Gives the traces in the runs' order and
// a GlebixError for each run that failed.
py::tuple RunStudy(const std::vector<TaskTuple> &tuples, const py::object &species,
                   const std::vector<std::string> &stopRules, int jobs, int threads, const InputStore *inputs,
                   const py::object &report) {
    std::vector<StudyTask> tasks;
    for (const auto &[point, replicate, seed, steps, texts] : tuples)
        tasks.push_back({point, replicate, seed, steps, texts});
    const auto values = SpeciesFromObject(species);
    std::size_t reported = 0;
    auto watch = [&report, &reported](std::size_t ended) {
        py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() != 0) throw WatchInterrupted{};
        if (!report.is_none() && ended > reported) report(ended - reported);
        reported = ended;
    };
    StudyResults results;
    try {
        py::gil_scoped_release release;
        results = RunStudyTasks(tasks, values, stopRules, jobs, threads, inputs ? inputs->Files : nullptr, watch);
    } catch (const WatchInterrupted &) { throw py::error_already_set(); }
    py::list traces;
    for (const TraceColumns &t : results.Traces) traces.append(TraceDict(t, true));
    py::list failures;
    for (const RunFailed &f : results.Failures) failures.append(GlebixErrorObject(f.Error, f.Point, f.Replicate));
    return py::make_tuple(traces, failures);
}

void BindSimulation(py::module_ &m) {
    py::class_<SimulationHandle>(m, "Simulation")
        .def(py::init([](std::uint32_t seed, std::int32_t steps, int threads, const py::object &species,
                         const NamedTexts &settings, const InputStore *inputs, std::optional<std::uint32_t> master) {
                 return std::make_unique<SimulationHandle>(
                     BuildRunSettings(SpeciesFromObject(species), settings), seed, steps, threads,
                     inputs ? inputs->Files : std::shared_ptr<InputBytes>(), master);
             }),
             py::arg("seed"), py::arg("steps"), py::arg("threads"), py::arg("species"), py::arg("settings"),
             py::arg("inputs") = py::none(), py::arg("master") = py::none())
        .def(py::init([](const std::string &path, const NamedTexts &overrides, std::optional<std::int32_t> steps,
                         int threads) {
                 return std::make_unique<SimulationHandle>(ReadStateFile(path, core::CheckSavedSetting), overrides,
                                                           steps, threads);
             }),
             py::arg("state"), py::arg("overrides"), py::arg("steps"), py::arg("threads"))
        .def("save_state", &SimulationHandle::SaveState, py::arg("path"), py::call_guard<py::gil_scoped_release>(),
             "Replaces the file by the run's state at its present step.")
        .def(
            "setup",
            [](SimulationHandle &h) {
                py::gil_scoped_release release;
                h.SetUp();
            },
            "Run set-up: the plot is rebuilt from the settings (input files are read here).")
        .def("step", &StepReleased, py::arg("n") = 1, "Run n time steps; other Python threads run meanwhile.")
        .def("write_result_file", &SimulationHandle::WriteResultFile, py::arg("directory"),
             py::call_guard<py::gil_scoped_release>())
        .def("write_asc", &SimulationHandle::WriteGrids, py::arg("directory"), py::call_guard<py::gil_scoped_release>())
        .def(
            "animate",
            [](SimulationHandle &h, const std::string &path, int every, const std::string &style,
               std::optional<std::int64_t> cellSize, std::int64_t fps) {
                auto look = core::LookFromArguments(style, cellSize, fps);
                if (auto *problem = std::get_if<std::string>(&look)) throw SettingRefused(*problem, "", false);
                py::gil_scoped_release release;
                h.Animate(path, every, std::get<core::AnimationLook>(look));
            },
            py::arg("path"), py::arg("every"), py::arg("style"), py::arg("cell_size"), py::arg("fps"))
        .def("end_animation", &SimulationHandle::EndAnimation, py::call_guard<py::gil_scoped_release>())
        .def("write_tif", &SimulationHandle::WriteTifGrids, py::arg("directory"),
             py::call_guard<py::gil_scoped_release>())
        .def("write_netcdf", &SimulationHandle::WriteNetcdf, py::arg("path"), py::call_guard<py::gil_scoped_release>())
        .def("_start_recording", &SimulationHandle::StartRecording, py::arg("path"), py::arg("every"),
             py::arg("deflate") = gis::DefaultDeflateLevel, py::call_guard<py::gil_scoped_release>())
        .def("_finish_recording", &SimulationHandle::FinishRecording, py::call_guard<py::gil_scoped_release>())
        .def("_abandon_outputs", &SimulationHandle::AbandonOutputs, py::call_guard<py::gil_scoped_release>())
        .def_property_readonly("_records", &SimulationHandle::Records)
        .def(
            "_setup_for_run",
            [](SimulationHandle &h) {
                py::gil_scoped_release release;
                return h.SetUpForRun();
            },
            "Run set-up for run(): the refusal of an animation it was to start is returned as its message.")
        .def_property_readonly("step_index", &SimulationHandle::StepIndex)
        .def("_stop_when", &SimulationHandle::StopWhen, py::arg("rules"))
        .def_property_readonly("stopped_by",
                               [](SimulationHandle &h) -> py::object {
                                   const std::string rule = h.StoppedBy();
                                   return rule.empty() ? py::object(py::none()) : py::object(py::str(rule));
                               })
        .def_property_readonly("seed", &SimulationHandle::Seed)
        .def_property_readonly("master_seed", &SimulationHandle::MasterSeed)
        .def_property_readonly("steps", &SimulationHandle::Steps)
        .def_property_readonly("threads", &SimulationHandle::Threads)
        .def_property_readonly("is_set_up", &SimulationHandle::IsSetUp)
        .def_property_readonly("settings", [](const SimulationHandle &h) { return SettingTexts(h.Settings()); })
        .def_property_readonly("chart_cell",
                               [](const SimulationHandle &h) {
                                   const CellIndex cell = h.Engine().ChartCell();
                                   return py::make_tuple(cell.I, cell.J);
                               })
        .def(
            "_trace_columns",
            [](const SimulationHandle &h, bool occupied) { return TraceDict(h.TraceCopy(), occupied); },
            py::arg("occupied") = false)
        .def_property_readonly("density",
                               [](const py::object &self) {
                                   const TPlot &p = PlotOf(self);
                                   return MapView(self, p, p.Density.Data(), sizeof(std::int32_t));
                               })
        .def_property_readonly("compacted",
                               [](const py::object &self) {
                                   const TPlot &p = PlotOf(self);
                                   return MapView(self, p, &p.Env.Data()->Compacted, sizeof(TCellEnv));
                               })
        .def_property_readonly("decompacted", [](const py::object &self) {
            const TPlot &p = PlotOf(self);
            return MapView(self, p, &p.Env.Data()->Decompacted, sizeof(TCellEnv));
        });
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.attr("__version__") = GLEBIX_VERSION;
    python::AddSensitivity(m);
    NameMissingFolders(true);
    MainThreadId = py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
    GlebixErrorType = PyErr_NewExceptionWithDoc(
        "glebix.GlebixError",
        "An error of the engine: str() gives the context and the message, in the user's language; the attributes "
        "message, "
        "setting, path, line, column and token give each part (None when unknown).",
        PyExc_RuntimeError, nullptr);
    m.attr("GlebixError") = py::handle(GlebixErrorType);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const GlebixError &e) { SetGlebixError(e); } catch (const SettingRefused &e) {
            PyErr_SetString(e.Unknown ? PyExc_KeyError : PyExc_ValueError, e.what());
        } catch (const StateError &e) {
            PyErr_SetString(PyExc_RuntimeError, e.what());
        } catch (const std::bad_alloc &) {
            PyErr_SetString(PyExc_MemoryError, core::LocalMessage(MsgOutOfMemory).c_str());
        }
    });

    m.attr("TRACE_COLUMNS") =
        py::tuple(py::cast(std::vector<std::string>(std::begin(TraceColumnNames), std::end(TraceColumnNames))));
    m.attr("EMIGRANTS_COLUMN") = core::EmigrantsColumnName;
    m.attr("LOST_COLUMN") = core::LostColumnName;
    m.def("table_counts_emigrants", &core::TableCountsEmigrants, py::arg("bounded"), py::arg("design_columns"));
    m.def(
        "table_counts_lost",
        [](const py::object &species, const NamedTexts &settings, const std::vector<std::string> &designColumns) {
            return core::TableCountsLost(BuildRunSettings(SpeciesFromObject(species), settings).Initial, designColumns);
        },
        py::arg("species"), py::arg("settings"), py::arg("design_columns"));
    BindInputStore(m);
    BindSimulation(m);
    m.def("setting_names", [] { return core::SettingNames(); });
    m.def("setting_info", &SettingInfo);
    m.def(
        "study_runs",
        [](int points, int replicates, std::uint32_t master, bool independent) {
            core::StudyLayout layout;
            layout.Points.clear();
            for (int p = 1; p <= points; ++p) layout.Points.push_back(p);
            layout.Replicates = replicates;
            layout.IndependentSeeds = independent;
            std::vector<std::tuple<int, int, std::uint32_t>> out;
            for (std::size_t k = 0; k < core::RunCount(layout); ++k) {
                const core::StudyRun run = core::PlanStudyRun(layout, k, master);
                out.emplace_back(run.Point, run.Replicate, run.Seed);
            }
            return out;
        },
        py::arg("points"), py::arg("replicates"), py::arg("master"), py::arg("independent"));
    m.def("runs_at_once", &core::RunsAtOnce, py::arg("asked"), py::arg("runs"));
    m.def("dispersal_threads_per_run", &core::DispersalThreadsPerRun, py::arg("asked"), py::arg("runs_at_once"));
    m.def("task_threads_per_run", &core::TaskThreadsPerRun, py::arg("asked"));
    m.def("run_study", &RunStudy, py::arg("tasks"), py::arg("species"), py::arg("stop_when"), py::arg("jobs"),
          py::arg("threads"), py::arg("inputs"), py::arg("report"));
    m.attr("STOPPED_BY_COLUMN") = core::StoppedByColumn;
    m.def(
        "check_stop_rules", [](const std::vector<std::string> &rules) { core::StopRulesOf(rules, "stop_when"); },
        py::arg("rules"), "Raises GlebixError naming stop_when for the first text that is no rule.");
    m.attr("GRID_SIDE") = GridSide;
    m.attr("HABITAT_SETTING") = std::string(HabitatPathSetting);
    m.attr("EVENTS_SETTING") = std::string(EventsPathSetting);
    m.def(
        "soil_map_setting",
        [](const std::string &name) {
            core::SoilMapChoice map = core::SoilMapOf("maps", name);
            if (!map.Problem.empty()) throw py::value_error(map.Problem);
            return map.Setting;
        },
        py::arg("name"), "The setting that names the per-cell map of `name`; ValueError for a name without one.");
    m.def(
        "deflate_level",
        [](const std::string &text) {
            core::DeflateChoice level = core::DeflateLevelOf("deflate", text);
            if (!level.Problem.empty()) throw py::value_error(level.Problem);
            return level.Level;
        },
        py::arg("text"), "The NetCDF deflate level of `text`; ValueError outside 0 to the highest.");
    m.attr("MAX_THREADS") = core::MaxThreads;
    m.def("threads_refusal", &core::ThreadCountRefusal, py::arg("shown"));
    m.def("run_count_refusal", &core::RunCountRefusal, py::arg("setting"), py::arg("shown"));
    m.def("run_warnings", &RunWarnings, py::arg("species"), py::arg("settings"), py::arg("points"), py::arg("inputs"),
          py::call_guard<py::gil_scoped_release>());
    m.def("unknown_setting_message", &core::UnknownSettingMessage, py::arg("name"));
    m.def(
        "message",
        [](const std::string &key, const std::vector<std::string> &args) {
            return core::MessageIn(core::UserLanguage(), key, args);
        },
        py::arg("key"), py::arg("args") = std::vector<std::string>{},
        "The catalogue's message `key` in the user's language, its placeholders {0}, {1}, ... filled with args.");
    m.def("null_byte_problem", &core::NullByteProblem, py::arg("text"),
          "The problem of a text holding a null byte, which no value or path may hold; None otherwise.");
    m.def("default_settings", [] { return SettingTexts(DefaultSettings()); });
    m.def("format_real", &FormatShortest, "A real in shortest round-trip form, as the tables write it.");
    m.def("study_seed", &core::StudySeed, py::arg("master"), py::arg("point"), py::arg("replicate"),
          py::arg("replicates"), py::arg("independent"));
    m.def("clock_seed", &ClockSeed);
    m.def("remove_staged_files", &core::RemoveTemporaries,
          "Removes every file still written under a temporary name, for a process that must end at once.");
    m.def("replicate_seed", &core::ReplicateSeed, py::arg("master"), py::arg("run"));
    m.def("read_species", &ReadSpecies, py::arg("path"));
    m.def(
        "run_settings",
        [](const py::object &species, const NamedTexts &settings) {
            return SettingTexts(BuildRunSettings(SpeciesFromObject(species), settings));
        },
        py::arg("species"), py::arg("settings"), "{name: text} of a run's settings, or KeyError / ValueError.");
    m.def(
        "input_paths",
        [](const py::object &species, const NamedTexts &settings) {
            return InputPaths(BuildRunSettings(SpeciesFromObject(species), settings));
        },
        py::arg("species"), py::arg("settings"));
}
