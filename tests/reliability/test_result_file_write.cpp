// The result file is replaced only by a complete file: a write that fails part-way
// keeps the earlier result byte for byte and leaves no partial or temporary file,
// and writes that complete in small pieces or after interruptions lose nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "ReliabilitySupport.h"
#include "Simul.h"

namespace glebix {
namespace {

using reliability::MessageOf;
using reliability::ReadAll;
using reliability::ResultWriteGuard;
using reliability::ScratchDir;
using reliability::SmallTmpfs;

const std::string ResultName = ResultFileName();

// A small run with a fixed seed whose result file is the earlier result.
void RunAFewSteps(Simul &s, std::uint32_t seed) {
    s.SetUpRun(seed);
    for (int step = 0; step < 3; ++step) s.TimeStep();
}

// Bytes the failing writers let through before they fail.
long g_budget = 0;

long FailAfterBudget(int fd, const void *data, std::size_t size) {
    if (g_budget <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(g_budget));
    g_budget -= static_cast<long>(n);
    return static_cast<long>(::write(fd, data, n));
}

TEST(ResultFileWrite, FailurePartWayKeepsTheEarlierResult) {
    ScratchDir dir;
    Simul s;
    s.Settings.Run.ResultDirectory = dir.Path();
    RunAFewSteps(s, 11u);
    s.WriteResultFile();
    const std::string earlier = ReadAll(dir.Sub(ResultName));
    ASSERT_EQ(earlier, ResultFileContents(s.Plot));

    s.Settings.Initial.DistConstant = "40";
    RunAFewSteps(s, 12u);
    ASSERT_NE(ResultFileContents(s.Plot), earlier);
    const long size = static_cast<long>(earlier.size());
    for (long budget : {0L, 1L, 4096L, size / 2, size - 1}) {
        SCOPED_TRACE(budget);
        g_budget = budget;
        ResultWriteGuard guard(FailAfterBudget);
        EXPECT_EQ(MessageOf([&] { s.WriteResultFile(); }), "Disque plein");
        EXPECT_EQ(ReadAll(dir.Sub(ResultName)), earlier);
        EXPECT_EQ(dir.Entries(), std::set<std::string>{ResultName});
    }
}

TEST(ResultFileWrite, FailureWithoutAnEarlierResultLeavesNothing) {
    ScratchDir dir;
    Simul s;
    s.Settings.Run.ResultDirectory = dir.Path();
    RunAFewSteps(s, 5u);
    g_budget = 1000;
    ResultWriteGuard guard(FailAfterBudget);
    EXPECT_EQ(MessageOf([&] { s.WriteResultFile(); }), "Disque plein");
    EXPECT_TRUE(dir.Entries().empty());
}

long g_calls = 0;

long ShortWrites(int fd, const void *data, std::size_t size) {
    ++g_calls;
    return static_cast<long>(::write(fd, data, std::min<std::size_t>(size, 1 + g_calls % 7)));
}

long InterruptedEveryOtherCall(int fd, const void *data, std::size_t size) {
    if (++g_calls % 2) {
        errno = EINTR;
        return -1;
    }
    return static_cast<long>(::write(fd, data, std::min<std::size_t>(size, 1000)));
}

TEST(ResultFileWrite, ShortAndInterruptedWritesCompleteTheFile) {
    for (ResultWriteFunction write : {ShortWrites, InterruptedEveryOtherCall}) {
        ScratchDir dir;
        Simul s;
        s.Settings.Run.ResultDirectory = dir.Path();
        RunAFewSteps(s, 9u);
        g_calls = 0;
        ResultWriteGuard guard(write);
        EXPECT_EQ(MessageOf([&] { s.WriteResultFile(); }), "");
        EXPECT_EQ(ReadAll(dir.Sub(ResultName)), ResultFileContents(s.Plot));
        EXPECT_EQ(dir.Entries(), std::set<std::string>{ResultName});
    }
}

TEST(ResultFileWrite, ReplacedFileHasTheUsualPermissions) {
    ScratchDir dir;
    Simul s;
    s.Settings.Run.ResultDirectory = dir.Path();
    const mode_t mask = ::umask(022);
    s.WriteResultFile();
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(dir.Sub(ResultName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// A real full disk: a tmpfs that holds one result file but not a second copy beside
// it. Replacing the first must fail with "Disque plein" and keep it whole.
TEST(ResultFileWrite, FullTmpfsKeepsTheEarlierResult) {
    SmallTmpfs fs("size=40k");
    if (!fs.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here; the injected failures cover it";
    Simul s;
    s.Settings.Run.ResultDirectory = fs.Dir().Path();
    RunAFewSteps(s, 21u);
    s.WriteResultFile();
    const std::string earlier = ReadAll(fs.Dir().Sub(ResultName));
    ASSERT_EQ(earlier, ResultFileContents(s.Plot));
    // Fill the rest of the disk, so that no second copy can be written.
    {
        std::ofstream filler(fs.Dir().Sub("filler"), std::ios::binary);
        const std::string block(4096, 'x');
        for (int k = 0; k < 64 && filler; ++k) filler << block;
    }
    s.Settings.Initial.DistConstant = "40";
    RunAFewSteps(s, 22u);
    EXPECT_EQ(MessageOf([&] { s.WriteResultFile(); }), "Disque plein");
    EXPECT_EQ(ReadAll(fs.Dir().Sub(ResultName)), earlier);
    EXPECT_EQ(fs.Dir().Entries(), (std::set<std::string>{"filler", ResultName}));
}

}  // namespace
}  // namespace glebix
