// Threads within the system's limits: refused threads leave the work to those that
// exist, down to the calling thread, and change no result.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sched.h>

#include "Simul.h"
#include "Threads.h"

namespace glebix {
namespace {

// Lets the first `Allowed` thread creations through while it lives.
class ThreadLimit {
public:
    explicit ThreadLimit(int allowed) : saved_(ThreadCreationAllowed) {
        Allowed = allowed;
        ThreadCreationAllowed = [] { return Allowed-- > 0; };
    }
    ~ThreadLimit() { ThreadCreationAllowed = saved_; }
    static inline std::atomic<int> Allowed{0};

private:
    bool (*saved_)();
};

TEST(Threads, ProcessorsComeFromTheAffinityMask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(::sched_getaffinity(0, sizeof set, &set), 0);
    EXPECT_EQ(AvailableProcessors(), CPU_COUNT(&set));
}

TEST(Threads, RefusedThreadsAreCountedAndTheOthersRun) {
    const int before = ThreadsRefused();
    std::atomic<int> ran{0};
    {
        const ThreadLimit limit(2);
        std::vector<std::thread> threads = StartThreads(5, [&ran](int k) { ran += k; });
        for (std::thread &t : threads) t.join();
        EXPECT_EQ(threads.size(), 2u);
    }
    EXPECT_EQ(ran.load(), 1 + 2);
    EXPECT_EQ(ThreadsRefused() - before, 3);
}

// A crowded dispersal pass on four threads, on one of them, or with every thread
// refused: the same plot and generator state, and no hang.
TEST(Threads, DispersalWithRefusedThreadsGivesTheSameResults) {
    auto run = [](int allowed) {
        const ThreadLimit limit(allowed);
        auto s = std::make_unique<Simul>();
        s->Settings.Initial.DistInitMode = DistModeHomogeneous;
        s->Settings.Initial.DistConstant = "40";
        s->SetDispersalThreads(4);
        s->SetUpRun(99);
        for (int step = 0; step < 2; ++step) s->TimeStep();
        return std::make_pair(std::vector<std::int32_t>(&s->Plot.Density[0][0], &s->Plot.Density[0][0] + CellCount),
                              s->RandomSeed);
    };
    const auto all = run(100);
    EXPECT_EQ(run(1), all);
    EXPECT_EQ(run(0), all);
}

}  // namespace
}  // namespace glebix
