#include "StudyRuns.h"

#include <atomic>
#include <exception>

#include "SimulationHandle.h"
#include "StudyRunner.h"

namespace glebix::python {

namespace {

// Thrown from inside a run's steps once the study stops.
struct StopRequested {};

struct RunOutcome {
    TraceColumns Trace;
    std::optional<GlebixError> Error;
};

// One run; a run that fails keeps its trace up to the step that failed.
RunOutcome RunTask(const TSettings &settings, const StudyTask &task, const std::vector<std::string> &stopRules,
                   int threads, const std::shared_ptr<const InputBytes> &inputs, const std::atomic<bool> &stop) {
    RunOutcome out;
    if (stop.load()) return out;
    std::optional<SimulationHandle> run;
    try {
        run.emplace(settings, task.Seed, task.Steps, threads, inputs);
        if (!stopRules.empty()) run->StopWhen(stopRules);
        run->SetUp();
        run->Step(task.Steps, [&stop] {
            if (stop.load(std::memory_order_relaxed)) throw StopRequested{};
        });
    } catch (const StopRequested &) { return out; } catch (const GlebixError &e) {
        out.Error = e;
    } catch (const std::exception &e) { out.Error = GlebixError(ErrorMessageOf(e)); }
    if (run) {
        out.Trace = run->TraceCopy();
        out.Trace.StoppedBy = run->StoppedBy();
    }
    return out;
}

}  // namespace

StudyResults RunStudyTasks(const std::vector<StudyTask> &tasks, const std::optional<SpeciesFileContents> &species,
                           const std::vector<std::string> &stopRules, int jobs, int threads,
                           std::shared_ptr<const InputBytes> inputs, const std::function<void(std::size_t)> &watch) {
    std::vector<TSettings> settings;
    settings.reserve(tasks.size());
    for (const StudyTask &t : tasks) settings.push_back(BuildRunSettings(species, t.Texts));
    std::vector<RunOutcome> outcomes(tasks.size());
    std::atomic<bool> stop{false};
    core::RunStudy(
        tasks.size(), jobs,
        [&](std::size_t k, std::atomic<bool> &halt) {
            outcomes[k] = RunTask(settings[k], tasks[k], stopRules, threads, inputs, halt);
        },
        watch, stop);
    StudyResults results;
    results.Traces.reserve(tasks.size());
    for (std::size_t k = 0; k < tasks.size(); ++k) {
        if (outcomes[k].Error) results.Failures.push_back({*outcomes[k].Error, tasks[k].Point, tasks[k].Replicate});
        results.Traces.push_back(std::move(outcomes[k].Trace));
    }
    return results;
}

}  // namespace glebix::python
