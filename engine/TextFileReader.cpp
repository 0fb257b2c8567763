#include "TextFileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"

namespace glebix {

TextFileReader::TextFileReader(const std::string &path) : path_(path) {
    if (path.empty()) ThrowIoError(ENOENT, path);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) ThrowIoError(errno, path);
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        ThrowIoError(EISDIR, path);
    }
}

TextFileReader::~TextFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool TextFileReader::Fill() {
    if (ended_) return false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
        if (n > 0) {
            pos_ = 0;
            len_ = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            ended_ = true;
            return false;
        }
        if (errno != EINTR) ThrowIoError(errno, path_);
    }
}

bool TextFileReader::SkipBlanks() {
    for (;;) {
        const int c = Peek();
        if (c == End) return false;
        if (!IsBlank(c)) return true;
        Get();
    }
}

bool TextFileReader::ReadToken(std::string &out, std::size_t cut) {
    out.clear();
    if (!SkipBlanks()) return false;
    while (out.size() < cut) {
        const int c = Peek();
        if (c == End || IsBlank(c)) break;
        out.push_back(static_cast<char>(Get()));
    }
    return true;
}

void TextFileReader::SkipLine() {
    for (;;) {
        const int c = Get();
        if (c == End) return;
        if (c == '\n') return;
        if (c == '\r') {
            if (Peek() == '\n') Get();
            return;
        }
    }
}

}  // namespace glebix
