// SHA-256 (FIPS 180-4) of a byte string, for the checksums the engine writes into its
// own files; the engine uses no library beyond the standard one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace glebix {

// The digest of `bytes` as 64 lower-case hexadecimal digits. Where the processor has
// the SHA instructions (x86-64 SHA-NI) they fold the blocks, several times faster on
// the grids of large plots' state files; the digest is the same.
std::string Sha256Hex(std::string_view bytes);
// The same digest by the portable code alone: the reference the fast form is checked against.
std::string Sha256HexPlain(std::string_view bytes);

// The digest of bytes given in pieces: that of the pieces end to end, so a file can be
// checksummed as it is written, without being held whole.
class Sha256Stream {
public:
    Sha256Stream();  // the fastest form this processor has
    void Update(std::string_view bytes);
    // The digest as Sha256Hex gives it; once, after the last piece.
    std::string HexDigest();

private:
    using Compress = void (*)(std::array<std::uint32_t, 8> &h, const unsigned char *blocks, std::size_t count);
    explicit Sha256Stream(Compress compress);
    friend std::string Sha256HexPlain(std::string_view bytes);

    Compress compress_;
    std::array<std::uint32_t, 8> h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    unsigned char pending_[64] = {};  // the bytes of an unfinished block
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;  // bytes given
};

}  // namespace glebix
