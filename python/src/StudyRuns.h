// A study's runs in the core's study runner, for glebix.run and glebix.sweep on local
// threads: each run is its own engine, and the traces come back in the runs' order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// The first failed run of a study (in the runs' order), with its place.
struct RunFailed {
    GlebixError Error;
    int Point;
    int Replicate;
};

// Thrown when `watch` found an interrupt (the Python error is set).
struct WatchInterrupted {};

// Runs every task, `jobs` at a time, each dispersal pass on `threads` threads. `watch`
// is called with the count of runs ended, from the calling thread, about every tenth
// of a second; when it throws, the runs stop after their present step and the
// exception goes on. Throws RunFailed for the first run (in order) that failed.
std::vector<TraceColumns> RunStudyTasks(const std::vector<StudyTask> &tasks,
                                        const std::optional<SpeciesFileContents> &species, int jobs, int threads,
                                        std::shared_ptr<const InputBytes> inputs,
                                        const std::function<void(std::size_t)> &watch);

}  // namespace glebix::python
