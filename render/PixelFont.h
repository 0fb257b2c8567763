// Text painted from a built-in font of 5 x 7 pixel glyphs, without the system's fonts,
// so that every machine paints the same pixels: digits, the letters of both cases, the
// space and "-><_.,:@*+()/".
#pragma once

#include <QRgb>
#include <string_view>

class QImage;

namespace glebix::render {

inline constexpr int GlyphWidth = 5;
inline constexpr int GlyphHeight = 7;
inline constexpr int GlyphPitch = GlyphWidth + 1;

// Whether the font has a glyph for every character of `text`.
bool HasGlyphs(std::string_view text);
// The width in pixels of `text` painted at `scale` (the last glyph without its gap).
int TextWidth(std::string_view text, int scale);
// Paints `text` with its top-left corner at (left, top), each pixel of a glyph a
// `scale` x `scale` square; pixels outside the image are left out, and so are the
// characters the font lacks.
void PaintText(QImage &image, int left, int top, std::string_view text, QRgb colour, int scale);

}  // namespace glebix::render
