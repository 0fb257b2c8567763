#include "Sha256.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace glebix {

namespace {

constexpr std::array<std::uint32_t, 64> RoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// Folds one 64-byte block into the hash state.
void Compress(std::array<std::uint32_t, 8> &h, const unsigned char *block) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t)
        w[t] = std::uint32_t{block[4 * t]} << 24 | std::uint32_t{block[4 * t + 1]} << 16 |
               std::uint32_t{block[4 * t + 2]} << 8 | std::uint32_t{block[4 * t + 3]};
    for (int t = 16; t < 64; ++t) {
        const std::uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
    for (int t = 0; t < 64; ++t) {
        const std::uint32_t t1 =
            k + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + RoundConstants[t] + w[t];
        const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        k = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::uint32_t out[8] = {a, b, c, d, e, f, g, k};
    for (int n = 0; n < 8; ++n) h[n] += out[n];
}

using State = std::array<std::uint32_t, 8>;
using CompressBlocks = void (*)(State &h, const unsigned char *blocks, std::size_t count);

void CompressPlain(State &h, const unsigned char *blocks, std::size_t count) {
    for (std::size_t n = 0; n < count; ++n) Compress(h, blocks + 64 * n);
}

#if defined(__x86_64__)
// The SHA extensions keep the state as the pairs ABEF and CDGH, and take four message
// words at a time with two rounds per instruction.
__attribute__((target("sha,sse4.1"))) void CompressShaNi(State &h, const unsigned char *blocks, std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&h[0])), 0xB1);
    __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&h[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, cdab, 0xF0);
    for (std::size_t n = 0; n < count; ++n, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4];
        for (int g = 0; g < 16; ++g) {
            __m128i &words = w[g % 4];
            if (g < 4)
                words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(blocks + 16 * g)), byteSwap);
            else
                words = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(words, w[(g + 1) % 4]),
                                                           _mm_alignr_epi8(w[(g + 3) % 4], w[(g + 2) % 4], 4)),
                                             w[(g + 3) % 4]);
            __m128i k =
                _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i *>(&RoundConstants[4 * g])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&h[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&h[4]), _mm_alignr_epi8(dchg, feba, 8));
}

bool HasShaInstructions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_SSE4_1) || !(ecx & bit_SSSE3)) return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ebx & bit_SHA) != 0;
}
#endif

CompressBlocks FastestCompress() {
#if defined(__x86_64__)
    static const CompressBlocks chosen = HasShaInstructions() ? CompressShaNi : CompressPlain;
    return chosen;
#else
    return CompressPlain;
#endif
}

}  // namespace

Sha256Stream::Sha256Stream() : compress_(FastestCompress()) {}

Sha256Stream::Sha256Stream(Compress compress) : compress_(compress) {}

void Sha256Stream::Update(std::string_view bytes) {
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t size = bytes.size();
    if (size == 0) return;
    total_ += size;
    if (pendingSize_ > 0) {
        const std::size_t taken = std::min(size, sizeof pending_ - pendingSize_);
        std::memcpy(pending_ + pendingSize_, data, taken);
        pendingSize_ += taken;
        data += taken;
        size -= taken;
        if (pendingSize_ < sizeof pending_) return;
        compress_(h_, pending_, 1);
        pendingSize_ = 0;
    }
    compress_(h_, data, size / 64);
    pendingSize_ = size % 64;
    std::memcpy(pending_, data + size - pendingSize_, pendingSize_);
}

std::string Sha256Stream::HexDigest() {
    // The last bytes, a one bit, zeros, and the length in bits: one or two blocks.
    unsigned char tail[128] = {};
    std::memcpy(tail, pending_, pendingSize_);
    tail[pendingSize_] = 0x80;
    const std::size_t tailSize = pendingSize_ < 56 ? 64 : 128;
    const std::uint64_t bits = total_ * 8;
    for (int k = 0; k < 8; ++k) tail[tailSize - 1 - k] = static_cast<unsigned char>(bits >> (8 * k));
    compress_(h_, tail, tailSize / 64);

    static constexpr char hex[] = "0123456789abcdef";
    std::string digest;
    digest.reserve(64);
    for (std::uint32_t word : h_)
        for (int shift = 28; shift >= 0; shift -= 4) digest += hex[(word >> shift) & 15];
    return digest;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256Stream stream;
    stream.Update(bytes);
    return stream.HexDigest();
}

std::string Sha256HexPlain(std::string_view bytes) {
    Sha256Stream stream(CompressPlain);
    stream.Update(bytes);
    return stream.HexDigest();
}

}  // namespace glebix
