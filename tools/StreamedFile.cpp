#include "StreamedFile.h"

#include <unistd.h>

namespace glebix::batch {

StreamedFile::~StreamedFile() { Abandon(); }

void StreamedFile::Open(const std::string &path) {
    Abandon();
    path_ = path;
    writer_.Open(path);
    open_ = true;
}

void StreamedFile::Write(const std::string &text) {
    try {
        writer_.Write(text);
    } catch (...) {
        Abandon();
        throw;
    }
}

void StreamedFile::Finish() {
    try {
        writer_.Close();
        PutInPlace(PartName(path_), path_);
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

}  // namespace glebix::batch
