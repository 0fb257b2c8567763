#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"

namespace glebix {

namespace {

// Closes the descriptor however the read ends.
struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

}  // namespace

EngineMessage InputTooLargeMessage(const std::string &path) {
    constexpr int mebibyteShift = 20;
    return EngineMessage("engine.input_too_large",
                         {path, std::to_string(MaxInputFileBytes >> mebibyteShift), std::to_string(MaxInputFileBytes)});
}

std::string ReadInputFile(const std::string &path) {
    if (path.empty()) ThrowIoError(ENOENT, path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowIoError(errno, path);
    const FdCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) ThrowIoError(errno, path);
    if (S_ISDIR(st.st_mode)) ThrowIoError(EISDIR, path);
    std::string bytes;
    if (S_ISREG(st.st_mode)) {
        if (static_cast<std::uint64_t>(st.st_size) > MaxInputFileBytes) throw GlebixError(InputTooLargeMessage(path));
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    }
    // Pipes and devices tell no size: read until the end or one byte past the limit.
    char buffer[65536];
    for (;;) {
        const std::size_t room = MaxInputFileBytes + 1 - bytes.size();
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, room));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIoError(errno, path);
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > MaxInputFileBytes) throw GlebixError(InputTooLargeMessage(path));
    }
    return bytes;
}

const ReadInput &ReadInputOnce(InputBytes &store, const std::string &path) {
    const auto found = store.find(path);
    if (found != store.end()) return found->second;
    ReadInput read;
    try {
        read.Bytes = std::make_shared<const std::string>(ReadInputFile(path));
    } catch (const GlebixError &e) { read.Error = e.Message(); }
    return store.emplace(path, std::move(read)).first->second;
}

std::shared_ptr<const std::string> InputFileBytes(const std::string &path, const InputBytes *given) {
    if (given) {
        const auto found = given->find(path);
        if (found != given->end()) {
            if (!found->second.Bytes) throw GlebixError(found->second.Error);
            return found->second.Bytes;
        }
    }
    return std::make_shared<const std::string>(ReadInputFile(path));
}

}  // namespace glebix
