// Exclusive locks on the files a whole invocation writes (the study table, the
// summary), so that two invocations given the same name cannot interleave their rows.
// The lock is taken (flock) on the file's temporary name "<path>.part", the very file
// the rows are streamed into, before anything runs: a second invocation is refused
// without touching it.
#pragma once

#include <string>
#include <vector>

namespace glebix::invocation {

class StudyFileLocks {
public:
    StudyFileLocks() = default;
    ~StudyFileLocks();  // removes a temporary file still empty and still its own
    StudyFileLocks(const StudyFileLocks &) = delete;
    StudyFileLocks &operator=(const StudyFileLocks &) = delete;

    // Creates the folder of each file when missing and locks the file's temporary
    // name. Returns the problem that stops the invocation (a file another invocation is
    // writing, or one that cannot be made), or an empty text when every file is locked.
    std::string Acquire(const std::vector<std::string> &files);

private:
    struct Held {
        std::string part;
        int fd;
    };
    std::vector<Held> held_;
};

}  // namespace glebix::invocation
