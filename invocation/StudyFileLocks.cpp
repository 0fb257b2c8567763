#include "StudyFileLocks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"
#include "FileIo.h"
#include "Messages.h"
#include "OutputPlaces.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

// Tries at most this often when the file is renamed between its opening and its lock.
constexpr int LockAttempts = 8;

bool SameInode(int fd, const std::string &path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

StudyFileLocks::~StudyFileLocks() {
    struct stat st {};
    for (const Held &h : held_) {
        // Still under the temporary name and empty: made by the lock alone.
        if (SameInode(h.fd, h.part) && ::fstat(h.fd, &st) == 0 && st.st_size == 0) {
            ::unlink(h.part.c_str());
            ForgetTemporary(h.part);
        }
        ::close(h.fd);
    }
}

std::string StudyFileLocks::Acquire(const std::vector<std::string> &files) {
    for (const std::string &file : files) {
        try {
            MakeDirectories(ParentOf(file));
        } catch (const GlebixError &e) { return LocalMessage(e.Message()); }
        const std::string part = PartName(file);
        for (int attempt = 0;; ++attempt) {
            const int fd = ::open(part.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) return Labelled(LocalIoErrorMessage(errno, file), file);
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int failure = errno;
                ::close(fd);
                if (failure == EWOULDBLOCK) return Message("place.file_locked", {QuotedPath(file)});
                return Labelled(LocalIoErrorMessage(failure, file), file);
            }
            // The holder may have renamed the file into place meanwhile: lock the new one.
            if (!SameInode(fd, part) && attempt + 1 < LockAttempts) {
                ::close(fd);
                continue;
            }
            RegisterTemporary(part);
            held_.push_back({part, fd});
            break;
        }
    }
    return {};
}

}  // namespace glebix::invocation
