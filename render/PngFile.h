// A PNG file of an RGB picture, written with zlib alone: the picture's pixels come
// from any source, and a failed allocation is reported by this code (never from
// inside a library that cannot unwind cleanly).
#pragma once

#include <cstdint>
#include <string>

namespace glebix::render {

// The PNG bytes of a `width` x `height` picture, 8-bit RGB, whose row y starts at
// `pixels` + y * `stride` 32-bit words, each 0xAARRGGBB (alpha ignored). Raises
// std::bad_alloc when memory runs out.
std::string EncodePng(const std::uint32_t *pixels, int width, int height, std::ptrdiff_t stride);

}  // namespace glebix::render
