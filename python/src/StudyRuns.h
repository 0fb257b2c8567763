// A study's runs in the core's study runner, for glebix.run and glebix.sweep on local
// threads: each run is its own engine, and the traces come back in the runs' order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Errors.h"
#include "InputFile.h"
#include "RunSettings.h"
#include "RunTrace.h"
#include "SpeciesFile.h"

namespace glebix::python {

struct StudyTask {
    int Point = 1;
    int Replicate = 1;
    std::uint32_t Seed = 0;
    std::int32_t Steps = 0;
    NamedTexts Texts;
};

// A failed run of a study, with its place.
struct RunFailed {
    GlebixError Error;
    int Point;
    int Replicate;
};

// Thrown when `watch` found an interrupt (the Python error is set).
struct WatchInterrupted {};

// Every run's trace in the runs' order (a failed run's up to the step that failed), and
// the failed runs in that order.
struct StudyResults {
    std::vector<TraceColumns> Traces;
    std::vector<RunFailed> Failures;
};

// Runs every task, `jobs` at a time, each dispersal pass on `threads` threads, each run
// ending where one of `stopRules` (--stop-when's texts) holds. `watch`
// is called with the count of runs ended, from the calling thread, about every tenth
// of a second; when it throws, the runs stop after their present step and the
// exception goes on. A run that fails ends alone: the others go on.
StudyResults RunStudyTasks(const std::vector<StudyTask> &tasks, const std::optional<SpeciesFileContents> &species,
                           const std::vector<std::string> &stopRules, int jobs, int threads,
                           std::shared_ptr<const InputBytes> inputs, const std::function<void(std::size_t)> &watch);

}  // namespace glebix::python
