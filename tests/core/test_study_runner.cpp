// The study runner: every run once, never more at once than asked, an interruption
// that stops the runs and still joins them, and the calling thread alone when the
// system refuses every thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "StudyRunner.h"
#include "Threads.h"

namespace glebix::core {
namespace {

struct Tally {
    std::mutex mutex;
    std::vector<int> calls;
    std::atomic<int> now{0}, most{0};
    void Run(std::size_t k) {
        const int at = ++now;
        int seen = most.load();
        while (at > seen && !most.compare_exchange_weak(seen, at)) {}
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        --now;
        std::lock_guard lock(mutex);
        calls.push_back(static_cast<int>(k));
    }
};

TEST(StudyRunner, RunsEveryIndexOnceWithAtMostTheRunsAsked) {
    for (const int atOnce : {1, 3}) {
        Tally tally;
        std::atomic<bool> stop{false};
        std::size_t lastSeen = 0;
        RunStudy(
            40, atOnce, [&](std::size_t k, std::atomic<bool> &) { tally.Run(k); },
            [&](std::size_t finished) { lastSeen = finished; }, stop);
        std::sort(tally.calls.begin(), tally.calls.end());
        ASSERT_EQ(tally.calls.size(), 40u);
        for (int k = 0; k < 40; ++k) EXPECT_EQ(tally.calls[static_cast<std::size_t>(k)], k);
        EXPECT_LE(tally.most.load(), atOnce);
        EXPECT_EQ(lastSeen, 40u);
        EXPECT_FALSE(stop.load());
    }
}

TEST(StudyRunner, AnInterruptStopsTheRunsAndGoesOnOnceTheyHaveEnded) {
    std::atomic<bool> stop{false};
    std::atomic<int> worked{0}, skipped{0};
    auto run = [&](std::size_t, std::atomic<bool> &halt) {
        if (halt.load()) {
            ++skipped;
            return;
        }
        // A long run: it ends at its next step once the study stops.
        while (!halt.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++worked;
    };
    EXPECT_THROW(RunStudy(
                     10, 2, run, [](std::size_t) { throw std::runtime_error("Ctrl-C"); }, stop),
                 std::runtime_error);
    EXPECT_TRUE(stop.load());
    EXPECT_EQ(worked.load() + skipped.load(), 10);  // every index handed out, every thread joined
    EXPECT_LE(worked.load(), 2);
}

TEST(StudyRunner, RunsInTheCallingThreadWhenNoThreadCanBeMade) {
    const auto saved = ThreadCreationAllowed;
    ThreadCreationAllowed = [] { return false; };
    const auto caller = std::this_thread::get_id();
    std::vector<std::thread::id> where;
    std::atomic<bool> stop{false};
    RunStudy(
        5, 4, [&](std::size_t, std::atomic<bool> &) { where.push_back(std::this_thread::get_id()); },
        [](std::size_t) {}, stop);
    ThreadCreationAllowed = saved;
    EXPECT_EQ(where, std::vector<std::thread::id>(5, caller));
}

TEST(StudyRunner, ProcessorsAreSharedBetweenTheRunsAtOnce) {
    EXPECT_EQ(RunsAtOnce(8, 3), 3);  // never more than the runs
    EXPECT_EQ(RunsAtOnce(1000, 100000), 256);
    EXPECT_EQ(RunsAtOnce(0, 1), 1);
    EXPECT_EQ(DispersalThreadsPerRun(5, 64), 5);
    EXPECT_EQ(DispersalThreadsPerRun(0, AvailableProcessors()), 1);
}

}  // namespace
}  // namespace glebix::core
