// A fixed set of worker threads that run one job at a time beside the calling thread.
// The threads are created with the pool and live until it is destroyed, so running a
// job creates no thread and allocates nothing.
#pragma once

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

private:
    void Work(int worker);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;      // a job was started, or the pool is closing
    std::condition_variable finished_;  // the last worker finished the job
    std::uint64_t generation_ = 0;      // number of jobs started
    int running_ = 0;                   // workers still on the current job
    bool closing_ = false;
    Job job_ = nullptr;
    void *context_ = nullptr;
};

}  // namespace glebix
