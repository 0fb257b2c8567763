// Columns that grow one row at a time and must keep one length. Room for the row is
// made in every column before any value is appended: an allocation refused on the way
// (std::bad_alloc) then leaves every column as it was, and appending to a column with
// room left cannot fail.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace glebix::core {

template <typename T>
void MakeRoomForOne(std::vector<T> &column) {
    constexpr std::size_t FirstRoom = 16;
    if (column.size() == column.capacity()) column.reserve(std::max(FirstRoom, 2 * column.capacity()));
}

// Room for one more row in each of `columns`.
template <typename... Columns>
void MakeRoomForRow(Columns &...columns) {
    (MakeRoomForOne(columns), ...);
}

}  // namespace glebix::core
