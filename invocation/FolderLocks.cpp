#include "FolderLocks.h"

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"
#include "FileIo.h"
#include "Messages.h"
#include "OutputPlaces.h"

namespace glebix::invocation {

FolderLocks::~FolderLocks() {
    for (int fd : fds_) ::close(fd);
}

std::string FolderLocks::Acquire(const std::vector<std::string> &folders) {
    std::set<std::pair<dev_t, ino_t>> locked;  // a folder reached by two paths is locked once
    for (const std::string &folder : folders) {
        try {
            MakeDirectories(folder);
        } catch (const GlebixError &e) { return LocalMessage(e.Message()); }
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            const int failure = errno;
            if (fd >= 0) ::close(fd);
            return Labelled(LocalIoErrorMessage(failure, folder), folder);
        }
        if (!locked.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);
            continue;
        }
        fds_.push_back(fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) return Message("place.folder_locked", {QuotedPath(folder)});
            return Labelled(LocalIoErrorMessage(errno, folder), folder);
        }
    }
    return {};
}

}  // namespace glebix::invocation
