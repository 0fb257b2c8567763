// Running a batch: one run with its outputs, and the replicates over worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "StudyManifest.h"
#include "RunPlan.h"
#include "StudyOutputs.h"
#include "ThreadCount.h"
#include "Warnings.h"

namespace glebix::batch {

// The core's and the planning's names are this layer's words.
using namespace glebix::core;
using namespace glebix::invocation;

// The number of the signal that asked the runs to stop, 0 until one comes: every run
// then ends after its current step, and no run starts.
std::atomic<int> &StopSignal();

// Runs one run as the launcher's "Simulations" does (StepCount from its text,
// set-up with the plan's seed, the steps, the result file). Every output is written
// under a temporary name; when the run ends, however it ends, they are all renamed
// into place, the earlier run's outputs that this run did not write are removed, and
// the manifest comes last. When the manifest cannot be written, nothing of the run
// is put in place. `stepsDone` (if any) counts the completed steps; `tableRows` (if
// any) receives the run's rows of the study table, step 0 first. Errors end the run
// and are reported in the record, with their context, never thrown.
RunRecord RunOne(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
                 const ManifestFacts &facts, std::atomic<std::int64_t> *stepsDone = nullptr,
                 std::string *tableRows = nullptr);

// Most threads a batch uses, whatever --jobs asks.
inline constexpr int MaxJobs = MaxThreads;

// Runs every run of every point on `jobs` threads (0: the processors the process may
// use; at most MaxJobs; fewer when the system refuses threads, down to the calling
// thread), writing the study table and the summary of the runs that ran as the runs
// come in their order. `report` receives one line per error (prefixed with the run's
// point and replicate when there are several runs) and a warning when threads were
// refused; `progress` (if any) is called about five times a second from the calling
// thread with the steps done and the steps in all; `warnings` (if any) go into the
// manifests.
BatchOutcome RunBatch(const BatchOptions &options, std::uint32_t masterSeed, bool seedFromClock,
                      const std::function<void(const std::string &)> &report,
                      const std::function<void(std::int64_t, std::int64_t)> &progress = {},
                      const StudyWarnings *warnings = nullptr);

}  // namespace glebix::batch
