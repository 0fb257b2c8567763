#include "WorkerPool.h"

#include "Threads.h"

namespace glebix {

WorkerPool::WorkerPool(int workerCount) {
    // Fewer workers than asked when the system refuses threads: the others take the
    // whole job.
    threads_ = StartThreads(workerCount, [this](int worker) { Work(worker); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    for (std::thread &t : threads_) t.join();
}

void WorkerPool::Start(Job job, void *context) {
    {
        std::lock_guard lock(mutex_);
        job_ = job;
        context_ = context;
        running_ = WorkerCount();
        ++generation_;
    }
    wake_.notify_all();
}

bool WorkerPool::WaitFor(std::chrono::microseconds timeout) {
    std::unique_lock lock(mutex_);
    return finished_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

void WorkerPool::Work(int worker) {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return closing_ || generation_ != seen; });
        if (closing_) return;
        seen = generation_;
        const Job job = job_;
        void *const context = context_;
        lock.unlock();
        job(context, worker);
        lock.lock();
        if (--running_ == 0) finished_.notify_all();
    }
}

}  // namespace glebix
