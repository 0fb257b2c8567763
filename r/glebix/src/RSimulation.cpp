// The simulation handle of the R side: a run session with the trace rows gathered
// since set-up.
#include <Rcpp.h>

#include <cmath>
#include <csignal>
#include <memory>

#include "FileIo.h"
#include "Georeference.h"
#include "NetcdfRecording.h"
#include "RGlue.h"
#include "RSettings.h"
#include "RTrace.h"
#include "RunSession.h"
#include "RunState.h"
#include "SessionAnimation.h"
#include "SessionWriters.h"
#include "SettingsTable.h"
#include "Simul.h"
#include "StepTrace.h"
#include "ThreadCount.h"
#include "Threads.h"

namespace glebix::r {

namespace {

// A run session with the trace, the animation and the NetCDF recording that follow it.
struct Simulation {
    explicit Simulation(std::unique_ptr<core::RunSession> session) : Session(std::move(session)) {
        for (core::RunObserver *o : std::initializer_list<core::RunObserver *>{&Trace, &Animation, &Recording})
            Session->Observe(*o);
    }
    std::unique_ptr<core::RunSession> Session;
    core::StepTrace Trace;
    render::SessionAnimation Animation;
    core::NetcdfRecording Recording;
};

using Handle = Rcpp::XPtr<Simulation>;

// The simulation behind a handle; an R session restored from disk keeps the handle
// but not the engine.
Simulation &Get(SEXP handle) {
    Handle h(handle);
    if (!h.get()) throw GlebixError(core::Message("r.lost"));
    return *h;
}

Simulation &ReadySimulation(SEXP handle) {
    Simulation &s = Get(handle);
    if (s.Session->HasFailed()) throw GlebixError(core::Message("r.failed"));
    if (!s.Session->HoldsRun()) throw GlebixError(core::Message("r.not_set_up"));
    return s;
}

volatile std::sig_atomic_t TermPending = 0;
extern "C" void NoteTerm(int) { TermPending = 1; }

// While steps run with a recording or an animation under way, SIGTERM first removes
// their temporary files, then acts as it did before (by default, ends the process);
// a SIGTERM that was ignored stays ignored.
class TermWatch {
public:
    explicit TermWatch(bool active) : active_(active) {
        if (!active_) return;
        TermPending = 0;
        struct sigaction note {};
        note.sa_handler = NoteTerm;
        note.sa_flags = SA_RESTART;
        sigemptyset(&note.sa_mask);
        ::sigaction(SIGTERM, &note, &previous_);
        if (previous_.sa_handler == SIG_IGN) Release();
    }
    ~TermWatch() { Release(); }
    TermWatch(const TermWatch &) = delete;
    TermWatch &operator=(const TermWatch &) = delete;

    // Between two steps.
    void Check() {
        if (!active_ || !TermPending) return;
        core::RemoveTemporaries();
        Release();
        ::raise(SIGTERM);
    }

private:
    void Release() {
        if (active_) ::sigaction(SIGTERM, &previous_, nullptr);
        active_ = false;
    }
    bool active_;
    struct sigaction previous_ {};
};

// The engine of a simulation set up and not failed since.
const Simul &ReadyEngine(SEXP handle) { return ReadySimulation(handle).Session->Engine(); }

Rcpp::NumericMatrix ShareMatrix(const TPlot &plot, bool compacted) {
    Rcpp::NumericMatrix m(plot.Width, plot.Height);
    for (int i = 0; i < plot.Width; ++i)
        for (int j = 0; j < plot.Height; ++j)
            m(i, j) = compacted ? plot.Env[i][j].Compacted : plot.Env[i][j].Decompacted;
    return m;
}

}  // namespace

}  // namespace glebix::r

using namespace glebix;
using namespace glebix::r;

// `master`: the study's master seed that `seed` was derived from, or NA for `seed` itself.
extern "C" SEXP gx_new(SEXP species, SEXP names, SEXP values, SEXP steps, SEXP threads, SEXP seed, SEXP master) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        core::RunStart start;
        start.Settings = BuildSettings(Text(species), Rcpp::as<std::vector<std::string>>(names),
                                       Rcpp::as<std::vector<std::string>>(values));
        start.StepCount = Rcpp::as<int>(steps);
        start.Settings.Run.StepCount = std::to_string(start.StepCount);
        start.Threads = Rcpp::as<int>(threads);
        start.Seed = static_cast<std::uint32_t>(Rcpp::as<double>(seed));
        const double m = Rcpp::as<double>(master);
        start.MasterSeed = std::isnan(m) ? start.Seed : static_cast<std::uint32_t>(m);
        return Handle(new Simulation(std::make_unique<core::RunSession>(std::move(start))), true);
    });
    END_RCPP
}

extern "C" SEXP gx_setup(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        Simulation &s = Get(handle);
        s.Trace.Clear();
        s.Session->SetUp();
        if (auto refusal = s.Animation.TakeRefusal()) throw *refusal;
        return R_NilValue;
    });
    END_RCPP
}

// Runs `n` steps; stops between two steps on a user interrupt or a time limit.
extern "C" SEXP gx_step(SEXP handle, SEXP count) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        Simulation &s = ReadySimulation(handle);
        core::RunSession &run = *s.Session;
        const int n = Rcpp::as<int>(count);
        const std::int32_t step = run.StepIndex(), last = run.StepCount();
        if (n > last - step)
            throw GlebixError(core::Message("r.steps_left",
                                            {std::to_string(last), std::to_string(step), std::to_string(last - step)}));
        TermWatch term(s.Recording.IsRecording() || s.Animation.IsAsked());
        for (int k = 0; k < n && run.StoppedBy().empty(); ++k) {
            CheckInterrupt();
            term.Check();
            run.Step();
        }
        return R_NilValue;
    });
    END_RCPP
}

// The rules that end the run early (glebix-batch's --stop-when texts).
extern "C" SEXP gx_stop_when(SEXP handle, SEXP rules) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        Get(handle).Session->StopWhen(core::StopRulesOf(Rcpp::as<std::vector<std::string>>(rules), "stop_when"));
        return R_NilValue;
    });
    END_RCPP
}

// Refuses `rules` with the core's message unless each is a stopping rule.
extern "C" SEXP gx_check_stop_rules(SEXP rules) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        core::StopRulesOf(Rcpp::as<std::vector<std::string>>(rules), "stop_when");
        return R_NilValue;
    });
    END_RCPP
}

extern "C" SEXP gx_density(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const TPlot &plot = ReadyEngine(handle).Plot;
        Rcpp::IntegerMatrix m(plot.Width, plot.Height);
        for (int i = 0; i < plot.Width; ++i)
            for (int j = 0; j < plot.Height; ++j) m(i, j) = plot.Density[i][j];
        return m;
    });
    END_RCPP
}

extern "C" SEXP gx_shares(SEXP handle, SEXP compacted) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP { return ShareMatrix(ReadyEngine(handle).Plot, Rcpp::as<bool>(compacted)); });
    END_RCPP
}

extern "C" SEXP gx_trace(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        Rcpp::List out;
        Rcpp::CharacterVector names;
        const Simulation &s = ReadySimulation(handle);
        const TPlot &plot = s.Session->Plot();
        AppendTraceColumns(s.Trace.Copy(), out, names, {plot.Bounded, plot.Habitat.Size() > 0});
        out.attr("names") = names;
        return out;
    });
    END_RCPP
}

extern "C" SEXP gx_write_result_file(SEXP handle, SEXP directory) {
    BEGIN_RCPP
    return Guarded(
        [&]() -> SEXP { return Rcpp::wrap(core::WriteResultFile(*ReadySimulation(handle).Session, Text(directory))); });
    END_RCPP
}

// Writes the present grids into `directory` as glebix-batch --asc does; returns the
// files' paths.
extern "C" SEXP gx_write_asc(SEXP handle, SEXP directory) {
    BEGIN_RCPP
    return Guarded(
        [&]() -> SEXP { return Utf8Vector(core::WriteAscGrids(*ReadySimulation(handle).Session, Text(directory))); });
    END_RCPP
}

// Asks for an animated map at `path` (render::RunAnimation): `every` steps apart, in
// the look `style`, `cellSize` (NA: the default) and `fps` ask for.
extern "C" SEXP gx_animate(SEXP handle, SEXP path, SEXP every, SEXP style, SEXP cellSize, SEXP fps) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        Simulation &s = Get(handle);
        const int size = Rcpp::as<int>(cellSize);
        auto look = core::LookFromArguments(Text(style), size == NA_INTEGER ? std::nullopt : std::optional(size),
                                            Rcpp::as<int>(fps));
        if (auto *problem = std::get_if<std::string>(&look)) throw GlebixError(*problem);
        s.Animation.Ask(Text(path), Rcpp::as<int>(every), std::get<core::AnimationLook>(look), *s.Session);
        return R_NilValue;
    });
    END_RCPP
}

// The same as GeoTIFF files, as glebix-batch --tif writes them.
extern "C" SEXP gx_write_tif(SEXP handle, SEXP directory) {
    BEGIN_RCPP
    return Guarded(
        [&]() -> SEXP { return Utf8Vector(core::WriteTifGrids(*ReadySimulation(handle).Session, Text(directory))); });
    END_RCPP
}

// The present grids as a NetCDF file of one record, as glebix-batch --netcdf lays them out.
extern "C" SEXP gx_write_netcdf(SEXP handle, SEXP path) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        core::WriteNetcdfRecord(*ReadySimulation(handle).Session, Text(path));
        return Rcpp::wrap(Utf8(Text(path)));
    });
    END_RCPP
}

// Starts recording the grids into the NetCDF file at `path` as --netcdf --every
// `every` --netcdf-deflate `deflate` does (from the next set-up, or now when set up);
// `every` 0 puts the file in place and returns its path; a negative `every` drops it,
// nothing put in place.
extern "C" SEXP gx_record(SEXP handle, SEXP path, SEXP every, SEXP deflate) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        Simulation &s = Get(handle);
        const int k = Rcpp::as<int>(every);
        if (k < 0) {
            s.Recording.Abandon();
            return R_NilValue;
        }
        if (k == 0) return Rcpp::wrap(Utf8(s.Recording.Finish()));
        s.Recording.Start(Text(path), k, *s.Session, Rcpp::as<int>(deflate));
        return R_NilValue;
    });
    END_RCPP
}

// Puts the animation under way in place with its frames so far: its path, or NULL.
extern "C" SEXP gx_end_animation(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const std::string path = Get(handle).Animation.End();
        return path.empty() ? R_NilValue : Rcpp::wrap(path);
    });
    END_RCPP
}

// Where the grids lie: the initial grid's corner, cell size and CRS (WKT; "" for none),
// and the plot's columns (west to east) and lines (south to north).
extern "C" SEXP gx_georeference(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const core::RunSession &run = *Get(handle).Session;
        if (!run.HoldsRun()) throw GlebixError(core::Message("r.not_set_up"));
        const gis::Georeference &g = run.Description().Georeference;
        return Rcpp::List::create(Rcpp::Named("xmin") = g.Placement.XllCorner,
                                  Rcpp::Named("ymin") = g.Placement.YllCorner,
                                  Rcpp::Named("cellsize") = g.Placement.CellSize, Rcpp::Named("crs") = Utf8(g.CrsWkt),
                                  Rcpp::Named("columns") = g.Columns, Rcpp::Named("lines") = g.Lines);
    });
    END_RCPP
}

// The bound on `threads` and the refusal of `shown`, a count outside it; and the
// processors that a count of 0 stands for.
extern "C" SEXP gx_threads_bound(SEXP shown, SEXP setting) {
    BEGIN_RCPP
    const std::string name = Text(setting);
    const std::string message =
        name == "threads" ? core::ThreadCountRefusal(Text(shown)) : core::RunCountRefusal(name, Text(shown));
    return Rcpp::List::create(Rcpp::Named("max") = core::MaxThreads, Rcpp::Named("message") = Utf8(message),
                              Rcpp::Named("processors") = AvailableProcessors());
    END_RCPP
}

// Replaces `path` by the state file of the run at its present step.
extern "C" SEXP gx_save_state(SEXP handle, SEXP path) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        ReadySimulation(handle).Session->SaveState(Text(path));
        return R_NilValue;
    });
    END_RCPP
}

// The saved run at `path` put back, ready to step on to `steps` (NA: the saved step
// count), with the settings `names` = `values` changed where a resumed run allows it.
extern "C" SEXP gx_resume(SEXP path, SEXP names, SEXP values, SEXP steps, SEXP threads) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const SavedRun saved = ReadStateFile(Text(path), core::CheckSavedSetting);
        const std::vector<std::string> keys = Rcpp::as<std::vector<std::string>>(names);
        const std::vector<std::string> texts = Rcpp::as<std::vector<std::string>>(values);
        std::vector<std::pair<std::string, std::string>> overrides;
        for (std::size_t k = 0; k < keys.size() && k < texts.size(); ++k) overrides.emplace_back(keys[k], texts[k]);
        const int asked = Rcpp::as<int>(steps);
        const std::int32_t stepCount = asked == NA_INTEGER ? saved.StepCount : asked;
        if (auto problem = core::StepsBeforeSaved(stepCount, saved))
            throw GlebixError(core::Labelled("steps", *problem),
                              ErrorContext{"steps", {}, 0, 0, std::to_string(stepCount)});
        auto resumed = core::ResumedSettings(saved, overrides, stepCount);
        if (auto *refusal = std::get_if<core::ResumeRefusal>(&resumed))
            throw GlebixError(refusal->Message, ErrorContext{refusal->Setting, {}, 0, 0, {}});
        auto session =
            std::make_unique<core::RunSession>(saved, std::get<TSettings>(resumed), stepCount, Rcpp::as<int>(threads));
        return Handle(new Simulation(std::move(session)), true);
    });
    END_RCPP
}

// seed, steps, step, set_up, threads and the settings' texts.
extern "C" SEXP gx_info(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const core::RunSession &s = *Get(handle).Session;
        return Rcpp::List::create(
            Rcpp::Named("seed") = static_cast<double>(s.Seed()), Rcpp::Named("steps") = s.StepCount(),
            Rcpp::Named("step") = s.StepIndex(), Rcpp::Named("set_up") = s.IsReady(),
            Rcpp::Named("threads") = s.Engine().DispersalThreads(),
            Rcpp::Named("stopped_by") =
                s.StoppedBy().empty() ? Rcpp::CharacterVector::create(NA_STRING) : Utf8Vector({s.StoppedBy()}));
    });
    END_RCPP
}

// The text of every setting as the simulation's runs use it, in the order of
// core::SettingNames().
extern "C" SEXP gx_setting_values(SEXP handle) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const TSettings &settings = Get(handle).Session->Engine().Settings;
        std::vector<std::string> texts;
        for (const std::string &name : core::SettingNames()) texts.push_back(core::SettingText(name, settings));
        return Utf8Vector(texts);
    });
    END_RCPP
}

// The NetCDF deflate level of `text` (NULL: the writer's default) as the core reads it,
// with its refusal naming `shown` for `setting` (empty when the level is taken); NA
// `text`, a value that is no single number, is refused.
extern "C" SEXP gx_deflate_level(SEXP text, SEXP shown, SEXP setting) {
    BEGIN_RCPP
    core::DeflateChoice level;
    if (!Rf_isNull(text)) {
        const Rcpp::CharacterVector given(text);
        const bool number = given.size() == 1 && given[0] != NA_STRING;
        if (number) level = core::DeflateLevelOf(Text(setting), Text(text));
        if (!number || !level.Problem.empty()) level.Problem = core::DeflateLevelRefusal(Text(setting), Text(shown));
    }
    return Rcpp::List::create(Rcpp::Named("level") = level.Level, Rcpp::Named("message") = Utf8(level.Problem));
    END_RCPP
}
