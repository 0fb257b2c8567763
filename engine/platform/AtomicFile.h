// Writing a whole file so that readers see either the earlier file or the complete
// new one: the contents go to a temporary file beside the target, reach the disk,
// and are renamed over the target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace glebix {

// Hands a file's bytes to the disk as they are written, a few megabytes at a time, so
// that the sync that ends the file has little left to wait for: a large plot's file is
// on the disk about when its last byte is made. Where the system cannot, the sync does
// it all, as before.
class WriteBehind {
public:
    // Bytes written since the last hand-over that make the next one.
    static constexpr std::uint64_t StepBytes = std::uint64_t{8} << 20;

    void Start(int fd, std::uint64_t size = 0) {
        fd_ = fd;
        handed_ = written_ = size;
    }
    void Wrote(std::size_t bytes);  // after `bytes` more were written

private:
    int fd_ = -1;
    std::uint64_t handed_ = 0, written_ = 0;
};

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
