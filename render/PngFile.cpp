#include "PngFile.h"

#include <new>
#include <vector>
#include <zlib.h>

namespace glebix::batch {

namespace {

void AppendBigEndian(std::string &out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// One chunk: length, type, data and the CRC of type and data.
void AppendChunk(std::string &out, const char type[4], const unsigned char *data, std::size_t size) {
    AppendBigEndian(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.append(type, 4);
    out.append(reinterpret_cast<const char *>(data), size);
    const auto *typed = reinterpret_cast<const Bytef *>(out.data() + start);
    AppendBigEndian(out, static_cast<std::uint32_t>(crc32(0L, typed, static_cast<uInt>(size + 4))));
}

}  // namespace

std::string EncodePng(const std::uint32_t *pixels, int width, int height, std::ptrdiff_t stride) {
    // Each row: filter type 0, then R, G, B of every pixel.
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(width);
    std::vector<unsigned char> raw(rowBytes * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        unsigned char *out = raw.data() + y * rowBytes;
        *out++ = 0;
        const std::uint32_t *row = pixels + y * stride;
        for (int x = 0; x < width; ++x) {
            *out++ = static_cast<unsigned char>(row[x] >> 16);
            *out++ = static_cast<unsigned char>(row[x] >> 8);
            *out++ = static_cast<unsigned char>(row[x]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
        throw std::bad_alloc();  // the only way compress2 fails with a sufficient buffer

    unsigned char header[13] = {};
    for (int k = 0; k < 4; ++k) {
        header[k] = static_cast<unsigned char>(static_cast<std::uint32_t>(width) >> (24 - 8 * k));
        header[4 + k] = static_cast<unsigned char>(static_cast<std::uint32_t>(height) >> (24 - 8 * k));
    }
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB; compression, filter and interlace methods stay 0
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header, sizeof header);
    AppendChunk(png, "IDAT", packed.data(), packedSize);
    AppendChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace glebix::batch
