// Files for tests: a fresh scratch folder per use, a small tmpfs for full disks, and
// whole-file reading and writing.
// Shared by every test folder.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/mount.h>
#include <system_error>

namespace glebix::testing {

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes. Creation failure throws, which fails the test.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glebix-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string Path() const { return path_.string(); }
    // The path of `name` inside the folder.
    std::string Sub(const std::string &name) const { return (path_ / name).string(); }
    std::string operator/(const std::string &name) const { return Sub(name); }
    // Writes `contents` to `name` inside the folder; its path.
    std::string File(const std::string &name, const std::string &contents) const {
        std::ofstream(path_ / name, std::ios::binary) << contents;
        return Sub(name);
    }
    // Names of the entries of the folder, sorted.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(path_)) names.insert(e.path().filename().string());
        return names;
    }

private:
    std::filesystem::path path_;
};

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

// The whole contents of a file; empty when it cannot be read.
inline std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `contents` to `path`, replacing it.
inline void WriteAll(const std::string &path, const std::string &contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

}  // namespace glebix::testing
