// Helpers shared by the engine tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "Simul.h"

namespace glebix::testing {

// Generator state after `draws` more uniform draws from `seed`.
inline std::uint32_t SeedAfter(std::uint32_t seed, std::uint64_t draws) {
    for (std::uint64_t k = 0; k < draws; ++k) seed = seed * 134775813u + 1u;
    return seed;
}

// A Simul whose plot is set up for the processes without a run: cell size 1, every
// cell at `compacted` percent, counts 0, species taken from the default settings.
inline std::unique_ptr<Simul> MakeSimul(double compacted = 50) {
    auto s = std::make_unique<Simul>();
    s->Plot.CellSize = 1;
    s->Plot.NRows = s->Plot.NCols = 50;
    for (auto &row : s->Plot.Env)
        for (auto &env : row) env = {compacted, 100 - compacted};
    s->TakeSpeciesParameters();
    return s;
}

// A fresh directory under the system's temporary directory, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glebix-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path &path() const { return path_; }
    std::string File(const std::string &name, const std::string &contents) const {
        const auto p = path_ / name;
        std::ofstream(p, std::ios::binary) << contents;
        return p.string();
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace glebix::testing
