#include "PointSelection.h"

#include <algorithm>

#include "Messages.h"

#include "SettingsTable.h"

namespace glebix::core {

std::variant<PointList, std::string> ParsePointList(std::string_view text) {
    PointList list;
    if (text.empty()) return Message("points.empty");
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        const std::size_t dash = item.find('-');
        const auto first = ParseCount(item.substr(0, dash), 1);
        const auto last = dash == std::string_view::npos ? first : ParseCount(item.substr(dash + 1), 1);
        if (!first || !last) return Message("points.bad_item", {std::string(item)});
        if (*last < *first) return Message("points.backwards", {std::string(item)});
        list.Ranges.emplace_back(*first, *last);
        if (end == text.size()) return list;
        start = end + 1;
    }
}

std::variant<Slice, std::string> ParseSlice(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto index = ParseCount(text.substr(0, slash), 1);
    const auto count = slash == std::string_view::npos ? std::nullopt : ParseCount(text.substr(slash + 1), 1);
    if (!index || !count || *index > *count) return Message("slice.bad", {std::string(text)});
    return Slice{*index, *count};
}

std::pair<int, int> SliceBounds(int count, const Slice &slice) {
    auto edge = [&](int k) { return static_cast<int>(static_cast<long long>(k) * count / slice.Count); };
    return {edge(slice.Index - 1), edge(slice.Index)};
}

std::variant<std::vector<int>, std::string> SelectPoints(int pointCount, const std::optional<PointList> &list,
                                                         const std::optional<Slice> &slice) {
    std::vector<int> points;
    if (list) {
        std::vector<bool> chosen(static_cast<std::size_t>(pointCount) + 1, false);
        for (const auto &[first, last] : list->Ranges) {
            if (last > pointCount)
                return Message("points.missing",
                               {std::to_string(std::max(first, pointCount + 1)), std::to_string(pointCount)});
            for (int p = first; p <= last; ++p) chosen[static_cast<std::size_t>(p)] = true;
        }
        for (int p = 1; p <= pointCount; ++p)
            if (chosen[static_cast<std::size_t>(p)]) points.push_back(p);
        points.shrink_to_fit();
    } else {
        points.reserve(static_cast<std::size_t>(std::max(pointCount, 0)));
        for (int p = 1; p <= pointCount; ++p) points.push_back(p);
    }
    if (slice) {
        const auto [first, last] = SliceBounds(static_cast<int>(points.size()), *slice);
        points = std::vector<int>(points.begin() + first, points.begin() + last);
    }
    return points;
}

}  // namespace glebix::core
