// Helpers shared by the fuzz targets: the readers take a path, so each input is
// written to one file in a private temporary directory; the messages a reader may
// end with are checked against the program's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

#include "Plot.h"

namespace glebix::fuzz {

// The plot back at 50 x 50 with every cell's bytes 0x5A, so that what the previous
// input left cannot show through.
inline void PoisonPlot(TPlot &plot) {
    plot = TPlot();
    std::memset(static_cast<void *>(plot.Env.Data()), 0x5A, plot.Env.Size() * sizeof(TCellEnv));
    std::memset(static_cast<void *>(plot.Density.Data()), 0x5A, plot.Density.Size() * sizeof(std::int32_t));
}

// Writes the input to the same file every time and returns its path. The directory
// is made once per process and removed at exit.
inline const std::string &WriteInputFile(const std::uint8_t *data, std::size_t size) {
    static const std::string path = [] {
        static std::string dir;
        char pattern[] = "/tmp/glebix-fuzz-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        dir = pattern;
        std::atexit([] {
            ::unlink((dir + "/input.txt").c_str());
            ::rmdir(dir.c_str());
        });
        return dir + "/input.txt";
    }();
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return path;
}

// Fails the run (libFuzzer records the input) when a property does not hold.
inline void Require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace glebix::fuzz
