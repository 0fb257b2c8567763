// SHA-256 (FIPS 180-4) of a byte string, for the checksums the engine writes into its
// own files; the engine uses no library beyond the standard one.
#pragma once

#include <string>
#include <string_view>

namespace glebix {

// The digest of `bytes` as 64 lower-case hexadecimal digits. Where the processor has
// the SHA instructions (x86-64 SHA-NI) they fold the blocks, several times faster on
// the grids of large plots' state files; the digest is the same.
std::string Sha256Hex(std::string_view bytes);
// The same digest by the portable code alone: the reference the fast form is checked against.
std::string Sha256HexPlain(std::string_view bytes);

}  // namespace glebix
