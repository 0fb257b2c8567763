// A text made of pieces numbered from 0, made on several threads at once and handed
// on in order by the calling thread: so a large file is formatted on every processor
// the caller may use while it is checksummed and written, never held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace glebix {

// Appends piece `index` to `out`, which it finds empty. Called on any of the threads,
// for each index once; a piece depends on its index only.
using PieceMaker = std::function<void(std::size_t index, std::string &out)>;

// Makes pieces 0 to `count` - 1 with `make` on `threads` threads, the calling thread
// one of them (fewer when the system refuses threads; one makes them in order), and
// hands each to `take` on the calling thread, in order. At most a few pieces a thread
// wait at once; their storage is reused. An exception from `make` or `take` stops
// the making: it is raised on the calling thread once the other threads have ended.
void MakePiecesInOrder(std::size_t count, int threads, const PieceMaker &make,
                       const std::function<void(std::string_view)> &take);

}  // namespace glebix
