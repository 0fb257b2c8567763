// A file written as it goes, under "<path>.part" beside its place, and renamed over
// the path only once complete and flushed to disk: a reader never finds half a file
// under the final name, and a write that fails keeps the earlier file. The part file
// can be followed while the invocation runs.
#pragma once

#include <string>
#include <string_view>

namespace glebix::batch {

class StreamedFile {
public:
    StreamedFile() = default;
    ~StreamedFile();  // an unfinished file is removed
    StreamedFile(const StreamedFile &) = delete;
    StreamedFile &operator=(const StreamedFile &) = delete;

    // Creates the part file, or raises GlebixError with the French message and the path.
    void Open(const std::string &path);
    // Appends, or raises; after a failure the part file is removed.
    void Write(std::string_view text);
    // Flushes to disk and renames into place, or raises and removes the part file.
    void Finish();
    // Removes the part file; the earlier file stays.
    void Abandon();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string &Path() const { return path_; }
    std::string PartPath() const { return path_ + ".part"; }

private:
    [[noreturn]] void Fail(int errnum);

    int fd_ = -1;
    std::string path_;
};

}  // namespace glebix::batch
