// File input/output of the batch tool: paths, folders, whole files and line-by-line
// files. Failures raise GlebixError with the engine's French message for the cause
// followed by the path, since a run writes several files and the message alone would
// not say which one failed.
#pragma once

#include <cstdio>
#include <string>

namespace glebix::batch {

// `dir`/`name`.
std::string Join(const std::string &dir, const std::string &name);
// The folder of `path`; "." for a bare name.
std::string ParentOf(const std::string &path);

// Raises "<message for errnum> : <path>".
[[noreturn]] void ThrowOutputError(int errnum, const std::string &path);

// A text file written line by line and flushed after every write, so that an
// interrupted run keeps every row already computed.
class LineWriter {
public:
    LineWriter() = default;
    ~LineWriter();
    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    void Open(const std::string &path);   // creates or replaces the file, or raises
    void Write(const std::string &text);  // appends and flushes, or raises
    void Close();                         // raises when the last data cannot be written
    bool IsOpen() const { return file_ != nullptr; }

private:
    std::FILE *file_ = nullptr;
    std::string path_;
};

// Writes `contents` to `path` in one go, replacing any file there, or raises.
void WriteWholeFile(const std::string &path, const std::string &contents);
// Creates a folder and its parents when missing, or raises.
void MakeDirectories(const std::string &path);

}  // namespace glebix::batch
