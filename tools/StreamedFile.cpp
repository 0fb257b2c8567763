#include "StreamedFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "Errors.h"

namespace glebix::batch {

StreamedFile::~StreamedFile() { Abandon(); }

void StreamedFile::Open(const std::string &path) {
    Abandon();
    path_ = path;
    fd_ = ::open(PartPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw GlebixError(IoErrorMessage(errno, path) + " : " + path);
}

void StreamedFile::Write(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(n < 0 ? errno : ENOSPC);
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

void StreamedFile::Finish() {
    if (::fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 || std::rename(PartPath().c_str(), path_.c_str()) != 0) {
        const int failure = errno;
        ::unlink(PartPath().c_str());
        throw GlebixError(IoErrorMessage(failure, path_) + " : " + path_);
    }
}

void StreamedFile::Abandon() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(PartPath().c_str());
}

void StreamedFile::Fail(int errnum) {
    Abandon();
    throw GlebixError(IoErrorMessage(errnum, path_) + " : " + path_);
}

}  // namespace glebix::batch
