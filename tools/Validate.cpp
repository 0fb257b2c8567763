#include "Validate.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>

#include "Conversions.h"
#include "Errors.h"
#include "InitialFiles.h"
#include "OutputPlaces.h"
#include "RunPlan.h"
#include "Simul.h"

namespace glebix::batch {

namespace {

// Reads one initial file into a scratch plot, so that a fault in one file does not
// hide one in the other.
template <typename Reader>
void CheckInitialFile(const BatchOptions &options, const char *setting, const std::string &path, Reader read,
                      std::vector<std::string> &problems) {
    auto plot = std::make_unique<TPlot>();
    try {
        read(*InputFileBytes(path, options.Files.get()), path, *plot);
    } catch (GlebixError &e) {
        e.Context().Setting = setting;
        e.Context().Path = path;
        problems.push_back(MessageWithContext(e));
    } catch (const std::exception &e) {
        problems.push_back(std::string(setting) + " " + QuotedPath(path) + " : " + ExceptionMessage(e));
    }
}

// An initial file read from an empty path: the places' check says so (CheckOutputPlaces).
bool ReadsEmptyPath(const InitialSettings &in) {
    return (in.EnvInitMode == EnvModeFile && in.EnvFilePath.empty()) ||
           (in.DistInitMode == DistModeFile && in.DistFilePath.empty());
}

// The problems of one set of settings: its initial files and its species values.
std::vector<std::string> CheckSettings(const BatchOptions &options, const TSettings &settings) {
    std::vector<std::string> problems;
    RunInputs(options, &settings);
    const InitialSettings &in = settings.Initial;
    if (in.EnvInitMode == EnvModeFile && !in.EnvFilePath.empty())
        CheckInitialFile(options, "EnvFilePath", in.EnvFilePath, ReadEnvironmentText, problems);
    if (in.DistInitMode == DistModeFile && !in.DistFilePath.empty())
        CheckInitialFile(options, "DistFilePath", in.DistFilePath, ReadDistributionText, problems);
    auto simul = std::make_unique<Simul>();
    simul->Settings = settings;
    try {
        simul->TakeSpeciesParameters();
    } catch (const std::exception &e) { problems.push_back("valeurs de l'espèce : " + ExceptionMessage(e)); }
    return problems;
}

// "simulation 3", "point 2, simulation 3", or "simulation" for a lone run.
std::string RunName(const BatchOptions &options, const StudyRun &run) {
    if (options.StudyDesign)
        return "point " + std::to_string(run.Point) + ", simulation " + std::to_string(run.Replicate);
    return options.ReplicateLayout ? "simulation " + std::to_string(run.Replicate) : std::string("simulation");
}

// The set-up and the first time step of every run, on a scratch engine: the faults
// that come at once. Runs failing alike are reported on one line.
void CheckRuns(const BatchOptions &options, std::vector<std::string> &problems) {
    const std::uint32_t master = options.Seed ? *options.Seed : ClockSeed();
    const StudyLayout layout = Layout(options);
    std::map<std::string, std::pair<StudyRun, int>> failures;  // message -> first run, runs
    std::vector<std::string> order;
    auto simul = std::make_unique<Simul>();
    simul->SetDispersalThreads(1);
    simul->GivenInputs = options.Files;
    for (std::size_t index = 0; index < RunCount(layout); ++index) {
        const StudyRun run = PlanStudyRun(layout, index, master);
        std::string message;
        try {
            simul->Settings = PointSettings(options, run.Point);
            if (ReadsEmptyPath(simul->Settings.Initial)) continue;
            simul->SetUpRun(run.Seed);
            if (FieldToInteger(options.Settings.Run.StepCount) > 0) simul->TimeStep();
        } catch (const std::exception &e) { message = ExceptionMessage(e); }
        if (message.empty()) continue;
        auto [at, added] = failures.try_emplace(message, run, 0);
        if (added) order.push_back(message);
        ++at->second.second;
    }
    for (const std::string &message : order) {
        const auto &[run, count] = failures.at(message);
        std::string who = RunName(options, run);
        if (count > 1) who += " (et " + std::to_string(count - 1) + " autres)";
        problems.push_back(who + " : " + message);
    }
}

}  // namespace

std::vector<std::string> ValidateRun(const BatchOptions &options) {
    std::vector<std::string> problems;
    if (!options.StudyDesign) {
        problems = CheckSettings(options, options.Settings);
    } else {
        // A problem of every point is said once; the others name their point.
        std::vector<std::vector<std::string>> points;
        for (int point : options.Points) points.push_back(CheckSettings(options, PointSettings(options, point)));
        auto inAll = [&points](const std::string &p) {
            return std::all_of(points.begin(), points.end(),
                               [&p](const auto &own) { return std::find(own.begin(), own.end(), p) != own.end(); });
        };
        if (!points.empty())
            for (const std::string &p : points.front())
                if (inAll(p)) problems.push_back(p);
        for (std::size_t k = 0; k < points.size(); ++k)
            for (const std::string &p : points[k])
                if (!inAll(p)) problems.push_back("point " + std::to_string(options.Points[k]) + " : " + p);
    }
    // With the inputs sound, every run is tried as far as its first step.
    if (problems.empty()) CheckRuns(options, problems);
    for (std::string &p : CheckOutputPlaces(options)) problems.push_back(std::move(p));
    return problems;
}

}  // namespace glebix::batch
