#include "FileIo.h"

#include <cerrno>
#include <filesystem>

#include "Errors.h"

namespace glebix::batch {

namespace fs = std::filesystem;

std::string Join(const std::string &dir, const std::string &name) { return (fs::path(dir) / name).string(); }

std::string ParentOf(const std::string &path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

void ThrowOutputError(int errnum, const std::string &path) {
    throw GlebixError(IoErrorMessage(errnum, path) + " : " + path);
}

LineWriter::~LineWriter() {
    if (file_) std::fclose(file_);
}

void LineWriter::Open(const std::string &path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) ThrowOutputError(errno, path);
}

void LineWriter::Write(const std::string &text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        const int failure = errno;
        std::fclose(file_);
        file_ = nullptr;
        ThrowOutputError(failure, path_);
    }
}

void LineWriter::Close() {
    if (!file_) return;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result != 0) ThrowOutputError(errno, path_);
}

void WriteWholeFile(const std::string &path, const std::string &contents) {
    LineWriter writer;
    writer.Open(path);
    writer.Write(contents);
    writer.Close();
}

void MakeDirectories(const std::string &path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) ThrowOutputError(ec.value(), path);
    if (!fs::is_directory(path, ec)) ThrowOutputError(ENOTDIR, path);
}

}  // namespace glebix::batch
