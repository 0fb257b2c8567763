#include "StudyRunner.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Threads.h"
#include "ThreadCount.h"

namespace glebix::core {

namespace {

// The threads of a study: joined whatever happens, before they are destroyed.
struct Workers {
    std::vector<std::thread> threads;
    ~Workers() {
        for (std::thread &t : threads)
            if (t.joinable()) t.join();
    }
};

}  // namespace

void RunStudy(std::size_t count, int runsAtOnce, const std::function<void(std::size_t, std::atomic<bool> &)> &run,
              const std::function<void(std::size_t)> &watch, std::atomic<bool> &stop) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t finished = 0;
    auto work = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < count;) {
            run(k, stop);
            std::lock_guard lock(mutex);
            ++finished;
            changed.notify_all();
        }
    };
    Workers workers{StartThreads(runsAtOnce, [&work](int) { work(); })};
    if (workers.threads.empty()) work();
    try {
        std::unique_lock lock(mutex);
        while (finished < count) {
            changed.wait_for(lock, WatchInterval);
            const std::size_t ended = finished;
            lock.unlock();
            watch(ended);
            lock.lock();
        }
        lock.unlock();
        watch(count);
    } catch (...) {
        stop = true;
        throw;
    }
}

int RunsAtOnce(int asked, std::size_t runs) {
    const int wanted = asked > 0 ? asked : AvailableProcessors();
    return std::clamp(wanted, 1, static_cast<int>(std::clamp<std::size_t>(runs, 1, MaxThreads)));
}

int DispersalThreadsPerRun(int asked, int runsAtOnce) {
    if (asked > 0) return asked;
    return std::max(1, AvailableProcessors() / std::max(1, runsAtOnce));
}

int TaskThreadsPerRun(int asked) { return asked > 0 ? asked : 1; }

}  // namespace glebix::core
