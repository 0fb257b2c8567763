#include "FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "Errors.h"
#include "Messages.h"

namespace glebix::core {

namespace fs = std::filesystem;

std::string Join(const std::string &dir, const std::string &name) { return (fs::path(dir) / name).string(); }

std::string ParentOf(const std::string &path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

void SyncWrittenFile(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowOutputError(errno, path);
    const int synced = ::fsync(fd), err = errno;
    ::close(fd);
    if (synced != 0) ThrowOutputError(err, path);
}

void ThrowOutputError(int errnum, const std::string &path) {
    throw OutputError(Labelled(LocalIoErrorMessage(errnum, path), path));
}

// With plain system calls: the error-code forms of std::filesystem end the program
// when they run out of memory.
void MakeDirectories(const std::string &path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) ThrowOutputError(errno, path);
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) ThrowOutputError(errno, path);
    if (!S_ISDIR(st.st_mode)) ThrowOutputError(ENOTDIR, path);
}

std::optional<std::string> NotPlainFileProblem(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    if (S_ISDIR(st.st_mode)) return Message("file.is_folder");
    if (!S_ISREG(st.st_mode)) return Message("file.not_plain");
    return std::nullopt;
}

void PrepareOutputFile(const std::string &path) {
    MakeDirectories(ParentOf(path));
    if (auto problem = NotPlainFileProblem(path)) {
        ErrorContext context;
        context.Path = path;
        throw GlebixError(*problem, context);
    }
}

// ---- Temporary files ---------------------------------------------------------

namespace {

std::mutex temporariesMutex;
std::set<std::string> &Temporaries() {
    static auto *const set = new std::set<std::string>();  // lives until the process ends
    return *set;
}

}  // namespace

std::string PartName(const std::string &path) { return path + ".part"; }

void RegisterTemporary(const std::string &path) {
    std::lock_guard lock(temporariesMutex);
    Temporaries().insert(path);
}

void ForgetTemporary(const std::string &path) {
    std::lock_guard lock(temporariesMutex);
    Temporaries().erase(path);
}

void RemoveTemporaries() {
    std::lock_guard lock(temporariesMutex);
    for (const std::string &path : Temporaries()) ::unlink(path.c_str());
    Temporaries().clear();
}

void PutInPlace(const std::string &part, const std::string &path) {
    if (::rename(part.c_str(), path.c_str()) != 0) ThrowOutputError(errno, path);
    ForgetTemporary(part);
}

// ---- Line writer -------------------------------------------------------------

LineWriter::~LineWriter() {
    if (fd_ >= 0) ::close(fd_);
}

void LineWriter::Open(const std::string &path) {
    path_ = path;
    const std::string part = PartName(path);
    RegisterTemporary(part);
    fd_ = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const int failure = errno;
        ForgetTemporary(part);
        ThrowOutputError(failure, path);
    }
    behind_.Start(fd_);
}

void LineWriter::Write(std::string_view text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowOutputError(n < 0 ? errno : ENOSPC, path_);
        done += static_cast<std::size_t>(n);
    }
    behind_.Wrote(text.size());
}

void LineWriter::CutBack(std::uint64_t size) {
    if (fd_ < 0) return;
    if (::ftruncate(fd_, static_cast<off_t>(size)) == 0 && ::lseek(fd_, static_cast<off_t>(size), SEEK_SET) >= 0)
        behind_.Start(fd_, size);
}

void LineWriter::Close() {
    if (fd_ < 0) return;
    int failure = ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS ? errno : 0;
    if (::close(fd_) != 0 && !failure) failure = errno;
    fd_ = -1;
    if (failure) ThrowOutputError(failure, path_);
}

void WriteWholeFile(const std::string &path, const std::string &contents) {
    const std::string part = PartName(path);
    try {
        LineWriter writer;
        writer.Open(path);
        writer.Write(contents);
        writer.Close();
        PutInPlace(part, path);
    } catch (...) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        throw;
    }
}

// ---- Staged files ------------------------------------------------------------

StagedFiles::~StagedFiles() {
    for (std::size_t k = placed_; k < paths_.size(); ++k) {
        const std::string part = PartName(paths_[k]);
        ::unlink(part.c_str());
        ForgetTemporary(part);
    }
}

void StagedFiles::Write(const std::string &path, const std::string &contents) {
    LineWriter writer;
    OpenLines(path, writer);
    writer.Write(contents);
    writer.Close();
}

void StagedFiles::OpenLines(const std::string &path, LineWriter &writer) {
    writer.Open(path);
    paths_.push_back(path);
}

void StagedFiles::Adopt(const std::string &path) {
    RegisterTemporary(PartName(path));
    paths_.push_back(path);
}

std::vector<std::string> StagedFiles::PutAllAside(const std::function<std::string(const std::string &)> &aside) {
    std::vector<std::string> kept;
    for (; placed_ < paths_.size(); ++placed_) {
        const std::string part = PartName(paths_[placed_]);
        const std::string name = aside(paths_[placed_]);
        if (!name.empty() && ::rename(part.c_str(), name.c_str()) == 0)
            kept.push_back(paths_[placed_]);
        else
            ::unlink(part.c_str());
        ForgetTemporary(part);
    }
    return kept;
}

std::string StagedFiles::PutAllInPlace() {
    std::string first;
    for (; placed_ < paths_.size(); ++placed_) {
        try {
            PutInPlace(PartName(paths_[placed_]), paths_[placed_]);
        } catch (const GlebixError &e) {
            if (first.empty()) first = LocalMessage(e.Message());
            const std::string part = PartName(paths_[placed_]);
            ::unlink(part.c_str());
            ForgetTemporary(part);
        }
    }
    return first;
}

}  // namespace glebix::core
