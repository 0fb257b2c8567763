// Reading an input file whole into memory, with a size limit, so that every reader
// parses bytes and a file is read once however many times it is used. Pipes,
// /dev/stdin and process substitutions work; endless devices stop at the limit.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

namespace glebix {

// Largest input file: 64 MiB. The largest meaningful initial file (2500 triples of
// 400-character tokens) is about 3 MB.
inline constexpr std::size_t MaxInputFileBytes = std::size_t{64} << 20;

// The whole contents of the file at `path`. Raises GlebixError with the message by
// cause when it cannot be opened or read (a directory is refused as "Accès au fichier
// refusé"), and with the size message when it holds more than MaxInputFileBytes.
// A regular file is refused by its size before anything is read.
std::string ReadInputFile(const std::string &path);

// "Fichier « <path> » trop grand : plus de 64 Mio (67108864 octets)".
std::string InputTooLargeMessage(const std::string &path);

// Contents of input files already read, by path as given: set-up takes a file's bytes
// from here when it finds its path, so that a caller reading its inputs once (and
// checksumming them) makes every run use exactly those bytes.
using InputBytes = std::map<std::string, std::shared_ptr<const std::string>>;

// The bytes of the file at `path`: those in `given` (which may be null) when it holds
// the path, else read now with ReadInputFile.
std::shared_ptr<const std::string> InputFileBytes(const std::string &path, const InputBytes *given);

}  // namespace glebix
