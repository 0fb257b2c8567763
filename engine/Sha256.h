// SHA-256 (FIPS 180-4) of a byte string, for the checksums the engine writes into its
// own files; the engine uses no library beyond the standard one.
#pragma once

#include <string>
#include <string_view>

namespace glebix {

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace glebix
