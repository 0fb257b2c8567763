// A fixed set of worker threads that run one job at a time beside the calling thread.
// The threads are created with the pool and live until it is destroyed, so running a
// job creates no thread and allocates nothing. The jobs of a run's steps come some ten
// microseconds apart, less than a sleeping thread takes to wake: a worker that has
// finished a job, and the calling thread that waits for one, look for the change for
// a short while before they sleep.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace glebix {

class WorkerPool {
public:
    // A job: called once on every worker with the worker's number (1..WorkerCount()).
    using Job = void (*)(void *context, int worker);

    // Starts `workerCount` workers, or as many as the system allows (StartThreads).
    explicit WorkerPool(int workerCount);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    int WorkerCount() const { return static_cast<int>(threads_.size()); }  // those running

    // Starts `job` on every worker and returns at once. The previous job must be over.
    void Start(Job job, void *context);
    // Waits until every worker has finished the current job, or `timeout` has passed;
    // true when they have finished.
    bool WaitFor(std::chrono::microseconds timeout);
    // No worker begins the current job any more: those that have not begun it skip it
    // (for jobs that only help the calling thread, which has done what was left).
    // Returns how many had begun it.
    int Withdraw();

private:
    void Work(int worker);
    void AwaitNextJob(std::uint64_t seen) const;

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;             // a job was started, or the pool is closing
    std::condition_variable finished_;         // the last worker finished the job
    std::uint64_t generation_ = 0;             // number of jobs started
    std::atomic<std::uint64_t> published_{0};  // generation_, for workers looking without the lock
    std::atomic<int> running_{0};              // workers still on the current job (changed under the lock)
    int started_ = 0;                          // workers that began the current job
    std::uint64_t withdrawn_ = 0;              // the job no worker begins any more
    std::atomic<bool> closing_{false};
    Job job_ = nullptr;
    void *context_ = nullptr;
};

}  // namespace glebix
