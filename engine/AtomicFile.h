// Writing a whole file so that readers see either the earlier file or the complete
// new one: the contents go to a temporary file beside the target, reach the disk,
// and are renamed over the target.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace glebix {

// write(2)'s shape: returns the count written or -1 with errno set.
using FileWriteFunction = long (*)(int fd, const void *data, std::size_t size);

// Writes `contents` to `path`, replacing any file there. On failure the temporary file
// is removed, an earlier file at `path` is left as it was, and GlebixError is raised
// with the French message of the cause and `path` as its context. `write` is the
// call that moves the bytes (tests make it fail part-way).
void WriteFileAtomically(const std::string &path, const std::string &contents, FileWriteFunction write = nullptr);

// The same for contents made in pieces: `produce` hands each piece to the function it
// is given, in order, and the file is never held whole. An exception from `produce`
// leaves the earlier file too, and goes on.
using PieceSink = std::function<void(std::string_view piece)>;
void WriteFileAtomically(const std::string &path, const std::function<void(const PieceSink &)> &produce,
                         FileWriteFunction write = nullptr);

}  // namespace glebix
