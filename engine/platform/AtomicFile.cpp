#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"

namespace glebix {
namespace {

long PosixWrite(int fd, const void *data, std::size_t size) { return static_cast<long>(::write(fd, data, size)); }

[[noreturn]] void Fail(int errnum, const std::string &path) {
    ErrorContext context;
    context.Path = path;
    throw GlebixError(IoErrorMessage(errnum, path), context);
}

// Writes everything or returns the errno of the failure.
int WriteAll(int fd, std::string_view contents, FileWriteFunction write) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const long n = write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

void WriteBehind::Wrote(std::size_t bytes) {
    written_ += bytes;
    if (fd_ < 0 || written_ - handed_ < StepBytes) return;
#if defined(__linux__)
    // Only starts the writes; a failure here is met again, and reported, by the sync.
    ::sync_file_range(fd_, static_cast<off_t>(handed_), static_cast<off_t>(written_ - handed_), SYNC_FILE_RANGE_WRITE);
#endif
    handed_ = written_;
}

void WriteFileAtomically(const std::string &path, const std::string &contents, FileWriteFunction write) {
    WriteFileAtomically(
        path, [&contents](const PieceSink &sink) { sink(contents); }, write);
}

void WriteFileAtomically(const std::string &path, const std::function<void(const PieceSink &)> &produce,
                         FileWriteFunction write) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) Fail(errno, path);
    // mkstemp creates the file for its owner only; give it the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    int failure = 0;
    WriteBehind behind;
    behind.Start(fd);
    try {
        produce([&](std::string_view piece) {
            if (failure) return;
            failure = WriteAll(fd, piece, write ? write : PosixWrite);
            if (!failure) behind.Wrote(piece.size());
        });
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    // Some file systems cannot sync; what was written still stands.
    if (!failure && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) failure = errno;
    if (::close(fd) != 0 && !failure) failure = errno;
    if (!failure && ::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure) {
        ::unlink(temporary.c_str());
        Fail(failure, path);
    }
}

}  // namespace glebix
