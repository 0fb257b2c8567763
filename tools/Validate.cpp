#include "Validate.h"

#include <map>
#include <memory>
#include <new>

#include "Conversions.h"
#include "Errors.h"
#include "InitialFiles.h"
#include "OutputPlaces.h"
#include "RunPlan.h"
#include "SeedMixing.h"
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
    } catch (const std::exception &e) {
        problems.push_back(std::string(setting) + " " + QuotedPath(path) + " : " + ExceptionMessage(e));
    }
}

// The set-up and the first time step of every run, on a scratch engine: the faults
// that come at once. Runs failing alike are reported on one line.
void CheckRuns(const BatchOptions &options, std::vector<std::string> &problems) {
    const std::uint32_t master = options.Seed ? *options.Seed : ClockSeed();
    std::map<std::string, std::pair<int, int>> failures;  // message -> first run, runs
    std::vector<std::string> order;
    auto simul = std::make_unique<Simul>();
    simul->SetDispersalThreads(1);
    simul->GivenInputs = options.Files;
    for (int run = 1; run <= options.Replicates; ++run) {
        std::string message;
        try {
            simul->Settings = options.Settings;
            simul->SetUpRun(ReplicateSeed(master, run));
            if (FieldToInteger(options.Settings.Run.StepCount) > 0) simul->TimeStep();
        } catch (const std::exception &e) { message = ExceptionMessage(e); }
        if (message.empty()) continue;
        auto [at, added] = failures.try_emplace(message, run, 0);
        if (added) order.push_back(message);
        ++at->second.second;
    }
    for (const std::string &message : order) {
        const auto [run, count] = failures[message];
        std::string who = options.ReplicateLayout ? "simulation " + std::to_string(run) : std::string("simulation");
        if (count > 1) who += " (et " + std::to_string(count - 1) + " autres)";
        problems.push_back(who + " : " + message);
    }
}

}  // namespace

std::vector<std::string> ValidateRun(const BatchOptions &options) {
    std::vector<std::string> problems;
    RunInputs(options);
    const InitialSettings &in = options.Settings.Initial;
    if (in.EnvInitMode == EnvModeFile)
        CheckInitialFile(options, "EnvFilePath", in.EnvFilePath, ReadEnvironmentText, problems);
    if (in.DistInitMode == DistModeFile)
        CheckInitialFile(options, "DistFilePath", in.DistFilePath, ReadDistributionText, problems);
    auto simul = std::make_unique<Simul>();
    simul->Settings = options.Settings;
    try {
        simul->TakeSpeciesParameters();
    } catch (const std::exception &e) { problems.push_back("valeurs de l'espèce : " + ExceptionMessage(e)); }
    // With the inputs sound, every run is tried as far as its first step.
    if (problems.empty()) CheckRuns(options, problems);
    for (std::string &p : CheckOutputPlaces(options)) problems.push_back(std::move(p));
    return problems;
}

}  // namespace glebix::batch
