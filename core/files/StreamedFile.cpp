#include "StreamedFile.h"

#include <cerrno>
#include <unistd.h>

namespace glebix::core {

StreamedFile::~StreamedFile() { Abandon(); }

void StreamedFile::Open(const std::string &path) {
    Abandon();
    path_ = path;
    writer_.Open(path);
    open_ = true;
    failed_ = false;
    size_ = 0;
}

void StreamedFile::Write(const std::string &text) {
    if (failed_) ThrowOutputError(EIO, path_);
    try {
        writer_.Write(text);
        size_ += text.size();
    } catch (...) {
        failed_ = true;
        writer_.CutBack(size_);
        throw;
    }
}

void StreamedFile::Finish() { Keep(path_); }

void StreamedFile::Keep(const std::string &name) {
    try {
        writer_.Close();
        PutInPlace(PartName(path_), name);
        open_ = false;
    } catch (...) {
        Abandon();
        throw;
    }
}

void StreamedFile::Abandon() {
    if (!open_) return;
    open_ = false;
    try {
        writer_.Close();
    } catch (...) {
        // The part file goes anyway.
    }
    const std::string part = PartName(path_);
    ::unlink(part.c_str());
    ForgetTemporary(part);
}

}  // namespace glebix::core
