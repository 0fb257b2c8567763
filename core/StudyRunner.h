// The runs of a study on worker threads: the one place that hands the runs out, bounds
// how many go at once, shares the processors between them, stops them and waits for
// them. The batch tool, Python and R run their studies through it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>

namespace glebix::core {

// How often the waiting thread looks at the runs: progress and interruptions.
inline constexpr std::chrono::milliseconds WatchInterval{100};

// Runs run(index, stop) for every index from 0 to count - 1, taken in increasing
// order by `runsAtOnce` worker threads (fewer when the system refuses threads; the
// calling thread alone when it refuses them all). The calling thread waits, calling
// watch(finished) every WatchInterval and once the last run has ended. When `watch`
// throws, `stop` is set and the exception goes on once every thread has ended: `run`
// is still called for the indices left, and should end at once (or after its present
// step) when `stop` is set. `run` must not throw.
void RunStudy(std::size_t count, int runsAtOnce, const std::function<void(std::size_t, std::atomic<bool> &)> &run,
              const std::function<void(std::size_t)> &watch, std::atomic<bool> &stop);

// Runs at once for a study of `runs` runs when `asked` (0: one per processor) were
// asked for: from 1 to the runs and to MaxThreads.
int RunsAtOnce(int asked, std::size_t runs);

// Threads of each run's dispersal pass: `asked` when given (above 0), else the
// processors shared between the runs at once, at least 1.
int DispersalThreadsPerRun(int asked, int runsAtOnce);

// Threads of the dispersal pass of a run handed to a distributed engine as a task of
// its own (a Dask task, a future): `asked` when given (above 0), else 1, the worker's
// processors being shared by the tasks its scheduler places there.
int TaskThreadsPerRun(int asked);

}  // namespace glebix::core
