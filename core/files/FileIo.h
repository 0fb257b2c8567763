// File input/output of the batch tool: paths, folders, and output files that are
// written under a temporary name ("<name>.part") and renamed into place, so that a
// failed or interrupted write never leaves a partial file under the final name.
// Failures raise GlebixError with the engine's French message for the cause followed
// by the path, since a run writes several files and the message alone would not say
// which one failed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AtomicFile.h"
#include "Errors.h"

namespace glebix::core {

// An output that could not be written: a fault of the system the run ran on, not of
// the model or its inputs.
class OutputError : public GlebixError {
public:
    using GlebixError::GlebixError;
};

// `dir`/`name`.
std::string Join(const std::string &dir, const std::string &name);
// The folder of `path`; "." for a bare name.
std::string ParentOf(const std::string &path);

// Raises OutputError("<message for errnum> : <path>").
[[noreturn]] void ThrowOutputError(int errnum, const std::string &path);

// Flushes to disk a file that another library wrote (a module's), as every output
// is flushed before its rename; throws ThrowOutputError's error when it cannot.
void SyncWrittenFile(const std::string &path);

// Creates a folder and its parents when missing, or raises.
void MakeDirectories(const std::string &path);

// Why an output file cannot be written at `path`, when something other than a plain
// file is there (a folder, a device, a pipe): the rename into place would replace it.
std::optional<std::string> NotPlainFileProblem(const std::string &path);
// Readies `path` for one output file: its folder created when missing, and a path
// that holds something other than a plain file refused (GlebixError naming it).
void PrepareOutputFile(const std::string &path);

// ---- Temporary files ---------------------------------------------------------
// The temporary name of an output file while it is written: "<path>.part".
std::string PartName(const std::string &path);
// Every temporary file of the process is known while it exists, so that a program
// that must end at once can remove them all first.
void RegisterTemporary(const std::string &path);
void ForgetTemporary(const std::string &path);
// Removes every temporary file still known.
void RemoveTemporaries();
// Renames `part` to `path` and forgets it as a temporary, or raises (naming `path`).
void PutInPlace(const std::string &part, const std::string &path);

// A file written line by line under its temporary name, each line flushed at once so
// that the file can be followed and an interrupted run keeps every row computed.
class LineWriter {
public:
    LineWriter() = default;
    ~LineWriter();  // closes; the temporary file stays for the caller to rename or remove
    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    void Open(const std::string &path);  // creates or empties "<path>.part", or raises
    void Write(std::string_view text);   // appends, or raises
    void Close();                        // syncs and closes, or raises
    // Cuts the file back to its first `size` bytes, as far as the system allows.
    void CutBack(std::uint64_t size);
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::string path_;
    WriteBehind behind_;
};

// Writes `contents` to "<path>.part", syncs it and renames it over `path`, or raises
// leaving any earlier file at `path` as it was.
void WriteWholeFile(const std::string &path, const std::string &contents);

// The output files of one run: each written whole or line by line under its
// temporary name, then all renamed into place together when the run ends.
class StagedFiles {
public:
    StagedFiles() = default;
    ~StagedFiles();  // removes the temporary files not put in place
    StagedFiles(const StagedFiles &) = delete;
    StagedFiles &operator=(const StagedFiles &) = delete;

    // Writes `contents` to "<path>.part" and syncs it, or raises.
    void Write(const std::string &path, const std::string &contents);
    // Opens `writer` on "<path>.part"; the file is put in place with the others.
    void OpenLines(const std::string &path, LineWriter &writer);
    // Takes "<path>.part", which another writer has left complete and synced, to be
    // put in place with the others.
    void Adopt(const std::string &path);
    // Renames every file into place in the order staged; each failure is tried past
    // and the first one's message returned (empty when all succeed).
    std::string PutAllInPlace();
    // Instead of putting the files in place: renames each file not yet in place to the
    // name `aside` gives it, or removes it when that name is empty; each failure drops
    // the file. Returns the final paths of the files kept so.
    std::vector<std::string> PutAllAside(const std::function<std::string(const std::string &path)> &aside);
    // Every file staged so far, by final path.
    const std::vector<std::string> &Paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
    std::size_t placed_ = 0;  // files already put in place
};

}  // namespace glebix::core
