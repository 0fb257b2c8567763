// Which points of a design one invocation runs: a list (--points 1,4,7-9) and a slice
// (--slice I/N, the I-th of N contiguous shares, for the tasks of a job array). The
// points always run in their order, so that the slices' outputs put end to end give
// the whole invocation's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace glebix::core {

// Inclusive ranges of point numbers, as written.
struct PointList {
    std::vector<std::pair<int, int>> Ranges;
};

struct Slice {
    int Index = 1;  // from 1
    int Count = 1;
};

// "3", "2-5", "1,4,7-9": numbers from 1, ranges first to last. The problem otherwise.
std::variant<PointList, std::string> ParsePointList(std::string_view text);

// "I/N" with 1 <= I <= N. The problem otherwise.
std::variant<Slice, std::string> ParseSlice(std::string_view text);

// The share [first, last) of `count` items that slice `slice` takes: the shares are
// contiguous, in order, and differ in size by at most one.
std::pair<int, int> SliceBounds(int count, const Slice &slice);

// The points to run, in increasing order: those of `list` (all of them without one),
// then the slice's share of those. The problem when the list names a point beyond
// `pointCount`.
std::variant<std::vector<int>, std::string> SelectPoints(int pointCount, const std::optional<PointList> &list,
                                                         const std::optional<Slice> &slice);

}  // namespace glebix::core
