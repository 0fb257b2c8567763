// Helpers of the reliability tests: scratch directories, small tmpfs mounts, the
// program's messages, and a guard that swaps the result file's write call.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

#include "Errors.h"
#include "ResultFile.h"

namespace glebix::reliability {

// A fresh directory under the system's temporary directory, removed at the end.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glebix-reliability-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string Path() const { return path_.string(); }
    std::string Sub(const std::string &name) const { return (path_ / name).string(); }
    std::string File(const std::string &name, const std::string &contents) const {
        std::ofstream(path_ / name, std::ios::binary) << contents;
        return Sub(name);
    }
    // Names of the entries of the directory, sorted.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(path_)) names.insert(e.path().filename().string());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A tmpfs of `size` mounted on a fresh directory, when the machine allows mounting
// (root, or a user namespace that may). Mounted() tells whether it worked.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string &options) {
        if (::mount("glebix-test", dir_.Path().c_str(), "tmpfs", 0, options.c_str()) == 0) mounted_ = true;
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(dir_.Path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    const ScratchDir &Dir() const { return dir_; }

private:
    ScratchDir dir_;
    bool mounted_ = false;
};

// Replaces the result file's write call for the lifetime of the guard.
class ResultWriteGuard {
public:
    explicit ResultWriteGuard(ResultWriteFunction replacement) : saved_(ResultWrite) { ResultWrite = replacement; }
    ~ResultWriteGuard() { ResultWrite = saved_; }
    ResultWriteGuard(const ResultWriteGuard &) = delete;
    ResultWriteGuard &operator=(const ResultWriteGuard &) = delete;

private:
    ResultWriteFunction saved_;
};

// The message an operation ends with; empty when it completes.
template <typename Operation>
std::string MessageOf(Operation &&operation) {
    try {
        operation();
    } catch (const GlebixError &e) { return e.what(); }
    return "";
}

inline bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The floating-point faults a time step may end with.
inline bool IsFloatMessage(const std::string &m) {
    return m == MsgInvalidOperation || m == MsgDivisionByZero || m == MsgOverflow;
}

// Every message a run set-up may end with: the input/output messages by cause, the
// floating-point faults, and the refusals of a cell outside the plot or of a
// response curve that cannot be computed.
inline bool IsSetUpMessage(const std::string &m) {
    static const std::set<std::string> exact = {
        "Fichier introuvable",
        "Nom de fichier incorrect",
        "Trop de fichiers ouverts",
        "Accès au fichier refusé",
        "Disque plein",
        MsgBadNumber,
    };
    return exact.count(m) || IsFloatMessage(m) || StartsWith(m, "Erreur E/S ") ||
           StartsWith(m, "Case hors de la parcelle") || StartsWith(m, "Forme de la réponse au milieu") ||
           StartsWith(m, "Réponse au milieu");
}

}  // namespace glebix::reliability
