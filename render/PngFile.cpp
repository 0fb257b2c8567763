#include "PngFile.h"

#include <new>
#include <vector>
#include <zlib.h>

namespace glebix::render {

namespace {

constexpr int CompressionLevel = 6;
constexpr std::size_t OutputChunk = std::size_t{1} << 16;

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

// The zlib stream of the picture's rows, each filter type 0 then R, G, B of every
// pixel, deflated a row at a time so that no copy of the whole picture is made.
std::vector<unsigned char> DeflatedRows(const std::uint32_t *pixels, int width, int height, std::ptrdiff_t stride) {
    z_stream z{};
    if (deflateInit(&z, CompressionLevel) != Z_OK) throw std::bad_alloc();
    std::vector<unsigned char> row(1 + 3 * static_cast<std::size_t>(width));
    std::vector<unsigned char> packed(OutputChunk);
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    int status = Z_OK;
    for (int y = 0; y <= height && status == Z_OK; ++y) {
        const bool last = y == height;
        if (!last) {
            unsigned char *out = row.data();
            *out++ = 0;
            const std::uint32_t *line = pixels + y * stride;
            for (int x = 0; x < width; ++x) {
                *out++ = static_cast<unsigned char>(line[x] >> 16);
                *out++ = static_cast<unsigned char>(line[x] >> 8);
                *out++ = static_cast<unsigned char>(line[x]);
            }
        }
        z.next_in = row.data();
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            if (z.avail_out == 0) {
                const std::size_t done = packed.size();
                packed.resize(done + OutputChunk);
                z.next_out = packed.data() + done;
                z.avail_out = static_cast<uInt>(OutputChunk);
            }
            status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        } while (status == Z_OK && (z.avail_in > 0 || z.avail_out == 0 || last));
        if (status == Z_BUF_ERROR) status = Z_OK;  // no progress possible until more room or input
    }
    packed.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::bad_alloc();  // deflate fails only for memory here
    return packed;
}

}  // namespace

std::string EncodePng(const std::uint32_t *pixels, int width, int height, std::ptrdiff_t stride) {
    const std::vector<unsigned char> packed = DeflatedRows(pixels, width, height, stride);
    unsigned char header[13] = {};
    for (int k = 0; k < 4; ++k) {
        header[k] = static_cast<unsigned char>(static_cast<std::uint32_t>(width) >> (24 - 8 * k));
        header[4 + k] = static_cast<unsigned char>(static_cast<std::uint32_t>(height) >> (24 - 8 * k));
    }
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB; compression, filter and interlace methods stay 0
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header, sizeof header);
    AppendChunk(png, "IDAT", packed.data(), packed.size());
    AppendChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace glebix::render
