#include "WorkerPool.h"

#include <algorithm>

#include "Threads.h"

namespace glebix {
namespace {

// How long a worker looks for its next job, and the calling thread for the end of a
// job, before sleeping.
constexpr std::chrono::microseconds LookTime{200};

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

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
        started_ = 0;
        ++generation_;
        published_.store(generation_, std::memory_order_release);
    }
    wake_.notify_all();
}

bool WorkerPool::WaitFor(std::chrono::microseconds timeout) {
    const auto lookUntil = std::chrono::steady_clock::now() + std::min(timeout, LookTime);
    while (running_.load(std::memory_order_relaxed) != 0 && std::chrono::steady_clock::now() < lookUntil) Pause();
    std::unique_lock lock(mutex_);
    return finished_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

int WorkerPool::Withdraw() {
    std::lock_guard lock(mutex_);
    if (withdrawn_ != generation_) {
        running_ -= WorkerCount() - started_;
        withdrawn_ = generation_;
    }
    if (running_ == 0) finished_.notify_all();
    return started_;
}

void WorkerPool::AwaitNextJob(std::uint64_t seen) const {
    const auto lookUntil = std::chrono::steady_clock::now() + LookTime;
    while (published_.load(std::memory_order_acquire) == seen && !closing_.load(std::memory_order_relaxed) &&
           std::chrono::steady_clock::now() < lookUntil)
        Pause();
}

void WorkerPool::Work(int worker) {
    std::uint64_t seen = 0;
    for (;;) {
        AwaitNextJob(seen);
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return closing_ || generation_ != seen; });
        if (closing_) return;
        seen = generation_;
        if (withdrawn_ == seen) continue;  // counted as done by Withdraw
        ++started_;
        const Job job = job_;
        void *const context = context_;
        lock.unlock();
        job(context, worker);
        lock.lock();
        if (--running_ == 0) finished_.notify_all();
    }
}

}  // namespace glebix
