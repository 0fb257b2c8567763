#include "Validate.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <map>
#include <memory>
#include <new>

#include "Conversions.h"
#include "Errors.h"
#include "EventInputs.h"
#include "ScheduleChecks.h"
#include "InitialFiles.h"
#include "InitialSources.h"
#include "Messages.h"
#include "OutputPlaces.h"
#include "PlotShape.h"
#include "RunPlan.h"
#include "Simul.h"

namespace glebix::invocation {

namespace {

// Reads one initial file into a scratch plot of the run's shape, so that a fault in one
// file does not hide one in the other.
void CheckInitialFile(const BatchOptions &options, const InitialSource &source, const PlotShape &shape,
                      std::vector<std::string> &problems) {
    const std::string &path = source.path;
    const std::string setting(source.pathSetting);
    auto plot = std::make_unique<TPlot>(shape.Width, shape.Height);
    try {
        source.readText(*InputFileBytes(path, options.Files.get()), path, *plot);
    } catch (GlebixError &e) {
        e.Context().Setting = setting;
        e.Context().Path = path;
        problems.push_back(LocalMessageWithContext(e));
    } catch (const std::exception &e) {
        problems.push_back(Labelled(setting + " " + QuotedPath(path), LocalExceptionMessage(e)));
    }
}

// An initial file read from an empty path: the places' check says so (CheckOutputPlaces).
bool ReadsEmptyPath(const InitialSettings &in) {
    const std::vector<InitialSource> read = ReadInitialSources(in);
    return std::any_of(read.begin(), read.end(), [](const InitialSource &s) { return s.path.empty(); });
}

// The problems of one set of settings: its initial files and its species values.
std::vector<std::string> CheckSettings(const BatchOptions &options, const TSettings &settings) {
    std::vector<std::string> problems;
    RunInputs(options, &settings);
    auto simul = std::make_unique<Simul>();
    simul->Settings = settings;
    simul->GivenInputs = options.Files;
    // The plot's shape as the run's set-up takes it: a refused one is the problem, and
    // the files are then read no further. A file that cannot be read is its own.
    std::optional<PlotShape> shape;
    try {
        shape = ReadsEmptyPath(settings.Initial) ? PlotShape{} : simul->TakePlotShape();
    } catch (const GlebixError &e) {
        // An unread file's error has its path: the file's check below says it.
        if (e.Context().Path.empty())
            problems.push_back(LocalMessageWithContext(e));
        else
            shape = PlotShape{};
    } catch (const std::exception &e) { problems.push_back(LocalExceptionMessage(e)); }
    if (shape)
        for (const InitialSource &source : ReadInitialSources(settings.Initial))
            if (!source.path.empty()) CheckInitialFile(options, source, *shape, problems);
    try {
        simul->TakeSpeciesParameters();
    } catch (const std::exception &e) {
        problems.push_back(Message("validate.species_values", {LocalExceptionMessage(e)}));
    }
    return problems;
}

// "simulation 3", "point 2, simulation 3", or "simulation" for a lone run.
std::string RunName(const BatchOptions &options, const StudyRun &run) {
    if (options.StudyDesign)
        return Message("run.point_replicate", {std::to_string(run.Point), std::to_string(run.Replicate)});
    return options.ReplicateLayout ? Message("run.replicate", {std::to_string(run.Replicate)}) : Message("run.lone");
}

// Runs tried as far as their first step: the first ones, then with a design the first
// run of each point that holds a column's smallest or largest number or one of its
// first distinct texts.
constexpr std::size_t TriedFirstRuns = 1000;
constexpr std::size_t TriedTextsPerColumn = 100;

// The runs tried, in the invocation's order: the faults that a setting's values bring
// at once come with its extreme values, so a design of any size is checked in a time
// that does not grow with its points beyond reading them.
std::vector<std::size_t> TriedRuns(const BatchOptions &options, const StudyLayout &layout) {
    std::set<std::size_t> runs;
    for (std::size_t index = 0; index < std::min(RunCount(layout), TriedFirstRuns); ++index) runs.insert(index);
    if (!options.StudyDesign) return {runs.begin(), runs.end()};
    const Design &design = *options.StudyDesign;
    const auto replicates = static_cast<std::size_t>(layout.Replicates);
    for (std::size_t c = 0; c < design.Columns.size(); ++c) {
        std::optional<std::pair<double, std::size_t>> least, most;  // value, place in the points
        std::set<std::string_view> texts;
        for (std::size_t p = 0; p < layout.Points.size(); ++p) {
            const std::string_view text = design.Value(layout.Points[p], c);
            double x = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), x);
            if (ec == std::errc() && end == text.data() + text.size()) {
                if (!least || x < least->first) least.emplace(x, p);
                if (!most || x > most->first) most.emplace(x, p);
            } else if (texts.size() < TriedTextsPerColumn && texts.insert(text).second) {
                runs.insert(p * replicates);
            }
        }
        for (const auto &extreme : {least, most})
            if (extreme) runs.insert(extreme->second * replicates);
    }
    return {runs.begin(), runs.end()};
}

// The schedules of the runs tried, each loaded once per plot size, as a run loads its own.
class LoadedSchedules {
public:
    std::shared_ptr<const EventSchedule> For(const Simul &simul, const InputBytes *given) {
        const std::string &path = simul.Settings.Run.EventsFilePath;
        if (path.empty()) return nullptr;
        auto &schedule = loaded_[{path, simul.Plot.Width, simul.Plot.Height}];
        if (!schedule) schedule = LoadEventSchedule(simul.Settings, simul.Plot.Width, simul.Plot.Height, given);
        return schedule;
    }

private:
    std::map<std::tuple<std::string, int, int>, std::shared_ptr<const EventSchedule>> loaded_;
};

// The set-up and the first time step of the runs tried, on a scratch engine, with
// their schedules' events: the faults that come at once. Runs failing alike are
// reported on one line.
void CheckRuns(const BatchOptions &options, std::vector<std::string> &problems) {
    const std::uint32_t master = options.Seed ? *options.Seed : ClockSeed();
    const StudyLayout layout = Layout(options);
    std::map<std::string, std::pair<StudyRun, int>> failures;  // message -> first run, runs
    std::vector<std::string> order;
    auto simul = std::make_unique<Simul>();
    simul->SetDispersalThreads(1);
    simul->GivenInputs = options.Files;
    simul->RefuseChartCellOutside = true;
    LoadedSchedules schedules;
    for (const std::size_t index : TriedRuns(options, layout)) {
        const StudyRun run = PlanStudyRun(layout, index, master);
        std::string message;
        try {
            simul->Settings = PointSettings(options, run.Point);
            if (ReadsEmptyPath(simul->Settings.Initial)) continue;
            simul->SetUpRun(run.Seed);
            // A resumed run's schedule is its state's: its file is not read again.
            if (!options.Resumed) simul->Events = schedules.For(*simul, options.Files.get());
            if (FieldToInteger(options.Settings.Run.StepCount) > 0) simul->TimeStep();
        } catch (const std::exception &e) { message = LocalExceptionMessage(e); }
        if (message.empty()) continue;
        auto [at, added] = failures.try_emplace(message, run, 0);
        if (added) order.push_back(message);
        ++at->second.second;
    }
    for (const std::string &message : order) {
        const auto &[run, count] = failures.at(message);
        std::string who = RunName(options, run);
        if (count > 1) who += Message("validate.and_others", {std::to_string(count - 1)});
        problems.push_back(Labelled(who, message));
    }
}

}  // namespace

std::vector<std::string> ValidateRun(const BatchOptions &options) {
    std::vector<std::string> problems;
    if (!options.StudyDesign) {
        problems = CheckSettings(options, options.Settings);
    } else {
        // A problem of every point is said once; the others name their point. Only the
        // points with problems are kept.
        std::map<int, std::vector<std::string>> points;
        for (int point : options.Points)
            if (auto own = CheckSettings(options, PointSettings(options, point)); !own.empty())
                points.emplace(point, std::move(own));
        auto inAll = [&](const std::string &p) {
            return points.size() == options.Points.size() &&
                   std::all_of(points.begin(), points.end(), [&p](const auto &own) {
                       return std::find(own.second.begin(), own.second.end(), p) != own.second.end();
                   });
        };
        if (!points.empty())
            for (const std::string &p : points.begin()->second)
                if (inAll(p)) problems.push_back(p);
        for (const auto &[point, own] : points)
            for (const std::string &p : own)
                if (!inAll(p)) problems.push_back(Labelled(Message("run.point", {std::to_string(point)}), p));
    }
    for (std::string &p : EventScheduleProblems(options)) problems.push_back(std::move(p));
    // With the inputs sound, every run is tried as far as its first step.
    if (problems.empty()) CheckRuns(options, problems);
    for (std::string &p : CheckOutputPlaces(options)) problems.push_back(std::move(p));
    return problems;
}

}  // namespace glebix::invocation
