// What an initial file's path names: a file, or a band or variable chosen in one
// after its last ':' ("land.tif:2", "soil.nc:compaction"), and whether the file is read
// as a raster's grid text rather than as the text the engine reads. The whole path is
// taken as a file first; only when no file has that name is the text after the last ':'
// a choice (a band number from 1, or a variable name) and the text before it the file.
// Plain POSIX: the messages cite a raster's cells by these facts without GDAL.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glebix {

// How far into a file a null byte marks it as binary.
inline constexpr std::size_t BinaryProbeBytes = 4096;

// A path split into the file and what it chooses in it.
struct RasterPath {
    std::string File;
    std::optional<int> Band;              // 1-based
    std::optional<std::string> Variable;  // a variable of a file of several
};
RasterPath SplitRasterPath(const std::string &path);

// The first BinaryProbeBytes of the file at `path`; empty when it is not a regular file
// or cannot be read, for the engine's reader to say why. A pipe is not even opened:
// closing it would end its writer.
std::string FileStart(const std::string &path);

// A GDAL virtual raster: XML text whose root element is VRTDataset.
bool IsVrtText(std::string_view bytes);

// True when `bytes` cannot be a text the engine reads (a grid or triples): a file
// holding a null byte near its start, or a virtual raster.
bool LooksLikeRaster(const std::string &bytes);
// Whether the initial file at `path` is read as a raster's grid text: a band or
// variable chosen, or content that LooksLikeRaster.
bool IsReadAsRaster(const std::string &path);

}  // namespace glebix
