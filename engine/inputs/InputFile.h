// Reading an input file whole into memory, with a size limit, so that every reader
// parses bytes and a file is read once however many times it is used. Pipes,
// /dev/stdin and process substitutions work; endless devices stop at the limit.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "EngineMessages.h"
#include "Plot.h"

namespace glebix {

// Longest text of one value of a grid the tool writes: a double in its shortest form
// ("-2.2250738585072014e-308"), with the blank or line end after it.
inline constexpr std::size_t MaxGridValueBytes = 25;
// Room for a grid's header, and for a line end of two bytes on each line.
inline constexpr std::size_t GridHeaderBytes = 4096;
// Largest input file: the largest grid the tool writes and reads back, the ESRI ASCII
// grid of a plot of MaxPlotSide x MaxPlotSide cells (about 400 MiB); a file beyond it
// cannot be a plot's grid.
inline constexpr std::size_t MaxInputFileBytes =
    std::size_t{MaxPlotSide} * MaxPlotSide * MaxGridValueBytes + std::size_t{MaxPlotSide} * 2 + GridHeaderBytes;

// The whole contents of the file at `path`. Raises GlebixError with the message by
// cause when it cannot be opened or read (a directory is refused as "Accès au fichier
// refusé"), and with the size message when it holds more than MaxInputFileBytes.
// A regular file is refused by its size before anything is read.
std::string ReadInputFile(const std::string &path);

// "Fichier « <path> » trop grand : plus de 400 Mio (419442688 octets)".
EngineMessage InputTooLargeMessage(const std::string &path);

// An input file as one read left it: its bytes, or the message of the failure.
struct ReadInput {
    std::shared_ptr<const std::string> Bytes;  // null when the read failed
    EngineMessage Error;                       // the GlebixError message of the failure
};

// Input files already read, by path as given: set-up takes a file from here when it
// finds its path, so that a caller reading its inputs once (and checksumming them)
// makes every run use exactly those bytes, or fail as that read failed.
using InputBytes = std::map<std::string, ReadInput>;

// The file at `path` as `store` holds it, reading it into `store` on the first call
// for that path; never raises for a failed read (the failure is kept).
const ReadInput &ReadInputOnce(InputBytes &store, const std::string &path);

// The bytes of the file at `path`: those in `given` (which may be null) when it holds
// the path, raising its failure if it could not be read; else read now.
std::shared_ptr<const std::string> InputFileBytes(const std::string &path, const InputBytes *given);

}  // namespace glebix
