// The worker pool: every worker runs a job once, and a withdrawn job runs only on the
// workers that had begun it.
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "WorkerPool.h"

namespace glebix {
namespace {

struct Gate {
    std::atomic<int> ran{0};
    std::atomic<bool> open{false};
};

void WaitAtGate(void *context, int) {
    Gate &gate = *static_cast<Gate *>(context);
    gate.ran.fetch_add(1);
    while (!gate.open.load()) std::this_thread::yield();
}

TEST(WorkerPool, WithdrawnJobsRunOnlyWhereTheyHadBegun) {
    WorkerPool pool(3);
    for (int round = 0; round < 200; ++round) {
        Gate gate;
        pool.Start(&WaitAtGate, &gate);
        if (round % 3 == 1) std::this_thread::sleep_for(std::chrono::microseconds(round));
        if (round % 3 == 2) {
            // Every worker has begun: nothing to withdraw.
            while (gate.ran.load() < 3) std::this_thread::yield();
        }
        const int begun = pool.Withdraw();
        gate.open.store(true);
        while (!pool.WaitFor(std::chrono::milliseconds(10))) {}
        EXPECT_EQ(gate.ran.load(), begun) << "round " << round;
        if (round % 3 == 2) { EXPECT_EQ(begun, 3); }
    }
    // The pool still runs jobs on every worker.
    Gate gate;
    gate.open.store(true);
    pool.Start(&WaitAtGate, &gate);
    while (!pool.WaitFor(std::chrono::milliseconds(10))) {}
    EXPECT_EQ(gate.ran.load(), 3);
}

}  // namespace
}  // namespace glebix
