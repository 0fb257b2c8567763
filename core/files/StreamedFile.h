// A file written as it goes, under "<path>.part" beside its place (a known temporary,
// removed if the program must end at once), and renamed over the path only once
// complete and flushed to disk: a reader never finds half a file under the final
// name, and a write that fails keeps the earlier file. The part file can be followed
// while the invocation runs; an unfinished one may be kept under a name of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "FileIo.h"

namespace glebix::core {

class StreamedFile {
public:
    StreamedFile() = default;
    ~StreamedFile();  // an unfinished file is removed
    StreamedFile(const StreamedFile &) = delete;
    StreamedFile &operator=(const StreamedFile &) = delete;

    // Creates the part file, or raises GlebixError with the French message and the path.
    void Open(const std::string &path);
    // Appends, or raises; after a failure the part file holds the earlier writes, each
    // whole, and takes no more.
    void Write(const std::string &text);
    // Flushes to disk and renames into place, or raises and removes the part file.
    void Finish();
    // As Finish, but to `name` instead of the path: a file that is not complete.
    void Keep(const std::string &name);
    // Removes the part file; the earlier file stays.
    void Abandon();

    bool IsOpen() const { return open_; }
    const std::string &Path() const { return path_; }

private:
    LineWriter writer_;
    std::string path_;
    std::uint64_t size_ = 0;  // bytes of the writes that succeeded
    bool open_ = false;
    bool failed_ = false;
};

}  // namespace glebix::core
