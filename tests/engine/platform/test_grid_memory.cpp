// Where the plot-sized grids take their memory: huge-page boundaries for large grids,
// never a change in what a grid holds.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>

#include "GridMemory.h"
#include "Plot.h"

namespace glebix {
namespace {

bool OnHugePageBoundary(const void *at) { return reinterpret_cast<std::uintptr_t>(at) % HugePageBytes == 0; }

// The "THPeligible" line of the mapping that holds `at` in /proc/self/smaps:
// 1 where the kernel may back it with huge pages, -1 where the file says nothing.
int HugePageEligible(const void *at) {
    const auto address = reinterpret_cast<std::uintptr_t>(at);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t from = 0, to = 0;
        const char *const end = line.data() + line.size();
        const auto first = std::from_chars(line.data(), end, from, 16);
        if (first.ec == std::errc() && first.ptr != end && *first.ptr == '-' &&
            std::from_chars(first.ptr + 1, end, to, 16).ec == std::errc()) {
            inside = from <= address && address < to;
        } else if (inside && line.rfind("THPeligible:", 0) == 0) {
            return line.find('1') != std::string::npos ? 1 : 0;
        }
    }
    return -1;
}

bool HugePagesOff() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    return !std::getline(mode, text) || text.find("[never]") != std::string::npos;
}

TEST(GridMemory, LargeGridsStartOnAHugePageAndSmallOnesTakeOrdinaryMemory) {
    CellGrid<TCellEnv> large(1000, 1000);  // 16 MB
    EXPECT_TRUE(OnHugePageBoundary(large.Data()));
    GridArray<std::int32_t> exact = MakeGridArray<std::int32_t>(HugePageBytes / sizeof(std::int32_t));
    EXPECT_TRUE(OnHugePageBoundary(exact.get()));
    // The last value of a grid rounded up to whole huge pages is its own.
    exact[HugePageBytes / sizeof(std::int32_t) - 1] = 7;

    CellGrid<TCellEnv> specified(GridSide, GridSide);
    specified[GridSide - 1][GridSide - 1] = {1.5, 2.5};
    EXPECT_EQ(specified.Size(), std::size_t{CellCount});
    EXPECT_EQ(specified[GridSide - 1][GridSide - 1], (TCellEnv{1.5, 2.5}));
}

TEST(GridMemory, TheSystemIsAskedForHugePagesOnALargeGrid) {
    if (HugePagesOff()) GTEST_SKIP() << "transparent huge pages are off here";
    CellGrid<std::int32_t> large(2048, 1024);  // 8 MB
    const int eligible = HugePageEligible(large.Data());
    if (eligible < 0) GTEST_SKIP() << "this kernel does not say which mappings may take huge pages";
    EXPECT_EQ(eligible, 1);
}

TEST(GridMemory, ALargeGridCopiesAndComparesByValue) {
    CellGrid<std::int32_t> grid(1500, 700);
    for (int i = 0; i < 1500; ++i) grid[i][i % 700] = i;
    CellGrid<std::int32_t> copy = grid;
    EXPECT_NE(copy.Data(), grid.Data());
    EXPECT_EQ(copy, grid);
    copy[1499][0] = -1;
    EXPECT_NE(copy, grid);
    EXPECT_EQ(grid[1499][1499 % 700], 1499);
}

TEST(GridMemory, ASizeBeyondTheAddressSpaceIsRefusedNotWrapped) {
    // Rounding up to whole huge pages must not wrap round to a small block.
    EXPECT_THROW(AllocateGridBytes(std::numeric_limits<std::size_t>::max() - 1), std::bad_alloc);
    EXPECT_THROW(MakeGridArray<std::int32_t>(std::numeric_limits<std::size_t>::max() / 2), std::bad_alloc);
}

}  // namespace
}  // namespace glebix
