#include "AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"
#include "ResultFile.h"

namespace glebix {

void ReplaceFile(const std::string &path, std::string_view contents) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) throw GlebixError(IoErrorMessage(errno, path), ErrorContext{{}, path, 0, 0, {}});
    // mkstemp creates the file for its owner only; give it the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    int failure = 0;
    std::size_t written = 0;
    while (written < contents.size()) {
        const long n = ResultWrite(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            failure = errno;
            break;
        }
        if (n == 0) {
            failure = ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (!failure && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) failure = errno;
    if (::close(fd) != 0 && !failure) failure = errno;
    if (!failure && ::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure) {
        ::unlink(temporary.c_str());
        throw GlebixError(IoErrorMessage(failure, path), ErrorContext{{}, path, 0, 0, {}});
    }
}

}  // namespace glebix
