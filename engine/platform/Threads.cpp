#include "Threads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <sched.h>
#include <system_error>

namespace glebix {

namespace {

std::atomic<int> refused{0};

}  // namespace

bool (*ThreadCreationAllowed)() = [] { return true; };

int AvailableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

std::vector<std::thread> StartThreads(int count, const std::function<void(int)> &fn) {
    std::vector<std::thread> threads;
    threads.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int k = 1; k <= count; ++k) {
        try {
            if (!ThreadCreationAllowed()) throw std::system_error(EAGAIN, std::generic_category());
            threads.emplace_back(fn, k);
        } catch (const std::exception &) {  // std::system_error, or std::bad_alloc for its state
            refused.fetch_add(count - k + 1, std::memory_order_relaxed);
            break;
        }
    }
    return threads;
}

int ThreadsRefused() { return refused.load(std::memory_order_relaxed); }

}  // namespace glebix
