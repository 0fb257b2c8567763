// Locks on the output folders of an invocation, so that no other invocation writes
// into them meanwhile.
#pragma once

#include <string>
#include <vector>

namespace glebix::invocation {

// Exclusive locks (flock) on output folders, held while the object lives.
class FolderLocks {
public:
    FolderLocks() = default;
    ~FolderLocks();
    FolderLocks(const FolderLocks &) = delete;
    FolderLocks &operator=(const FolderLocks &) = delete;

    // Creates each folder when missing and locks it. Returns the problem that stops the
    // invocation (a folder another invocation holds, or one that cannot be made), or
    // an empty text when every folder is locked.
    std::string Acquire(const std::vector<std::string> &folders);

private:
    std::vector<int> fds_;
};

}  // namespace glebix::invocation
