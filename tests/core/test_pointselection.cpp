// Point lists and slices: the shares of a job array cover every point once, in order.
#include <gtest/gtest.h>

#include "PointSelection.h"
#include "StudyPlan.h"

using namespace glebix::core;

namespace {

std::vector<int> Select(int count, const char *list, const char *slice = nullptr) {
    std::optional<PointList> l;
    std::optional<Slice> s;
    if (list) l = std::get<PointList>(ParsePointList(list));
    if (slice) s = std::get<Slice>(ParseSlice(slice));
    return std::get<std::vector<int>>(SelectPoints(count, l, s));
}

}  // namespace

TEST(PointSelection, ListsAndSlicesAsWritten) {
    EXPECT_EQ(Select(10, "3"), (std::vector<int>{3}));
    EXPECT_EQ(Select(10, "2-5"), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(Select(10, "9,1,4,7-9,4"), (std::vector<int>{1, 4, 7, 8, 9}));  // in point order, once each
    EXPECT_EQ(Select(10, nullptr, "2/3"), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(Select(10, "1,4,7-9", "1/2"), (std::vector<int>{1, 4}));
    EXPECT_EQ(Select(2, nullptr, "2/3"), (std::vector<int>{1}));
    EXPECT_TRUE(Select(2, nullptr, "1/3").empty());

    for (const char *bad : {"", "0", "3-", "-3", "5-2", "1,,2", "1-2-3", "a", "+1", "1.0", " 1", "99999999999"})
        EXPECT_TRUE(std::holds_alternative<std::string>(ParsePointList(bad))) << bad;
    for (const char *bad : {"", "1", "0/3", "4/3", "1/0", "1/", "/3", "1/3/4", "-1/3", "1 /3"})
        EXPECT_TRUE(std::holds_alternative<std::string>(ParseSlice(bad))) << bad;
    EXPECT_EQ(std::get<std::string>(SelectPoints(10, std::get<PointList>(ParsePointList("2,9-12")), std::nullopt)),
              "--points : le point 11 n'existe pas (le plan en compte 10)");
}

TEST(PointSelection, SlicesCoverEveryPointOnceInNearlyEqualShares) {
    for (int count = 0; count <= 30; ++count) {
        for (int n = 1; n <= 12; ++n) {
            std::vector<int> joined;
            std::size_t smallest = SIZE_MAX, largest = 0;
            for (int i = 1; i <= n; ++i) {
                const auto share = std::get<std::vector<int>>(SelectPoints(count, std::nullopt, Slice{i, n}));
                joined.insert(joined.end(), share.begin(), share.end());
                smallest = std::min(smallest, share.size());
                largest = std::max(largest, share.size());
            }
            std::vector<int> all(static_cast<std::size_t>(count));
            for (int p = 1; p <= count; ++p) all[static_cast<std::size_t>(p - 1)] = p;
            EXPECT_EQ(joined, all) << count << " points in " << n;
            EXPECT_LE(largest - smallest, 1u) << count << " points in " << n;
        }
    }
}

TEST(StudyPlan, ARunKeepsItsSeedAndFolderWhicheverPointsRun) {
    StudyLayout full;
    full.Points = {1, 2, 3, 4, 5};
    full.Replicates = 3;
    full.HasDesign = true;
    for (bool independent : {false, true}) {
        full.IndependentSeeds = independent;
        StudyLayout part = full;
        part.Points = {2, 5};
        ASSERT_EQ(RunCount(part), 6u);
        for (std::size_t k = 0; k < RunCount(part); ++k) {
            const StudyRun a = PlanStudyRun(part, k, 99);
            const StudyRun b = PlanStudyRun(full, static_cast<std::size_t>(a.Point - 1) * 3 + (a.Replicate - 1), 99);
            EXPECT_EQ(a.Point, b.Point);
            EXPECT_EQ(a.Seed, b.Seed);
            EXPECT_EQ(a.Folder, b.Folder);
        }
    }
    const StudyRun last = PlanStudyRun(full, 14, 99);
    EXPECT_EQ(last.Folder, "point-005/run-003");
    StudyLayout plain;
    plain.Replicates = 1200;
    EXPECT_EQ(PlanStudyRun(plain, 0, 99).Folder, "");
    plain.ReplicateFolders = true;
    EXPECT_EQ(PlanStudyRun(plain, 1199, 99).Folder, "run-1200");
}
