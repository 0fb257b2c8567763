#include "MapPicture.h"

#include <QImage>
#include <charconv>
#include <new>

#include "RunOutputs.h"

namespace glebix::batch {

namespace {

constexpr int GlyphWidth = 5;
constexpr int GlyphHeight = 7;
constexpr int GlyphPitch = GlyphWidth + 1;
constexpr int TextIndent = 4;  // from the field's left edge

// Rows of each glyph, most significant of the 5 bits on the left: 0 to 9, then '-'.
constexpr std::uint8_t Glyphs[11][GlyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00},
};

QRgb ToQRgb(Rgb c) { return qRgb(c.r, c.g, c.b); }

}  // namespace

void PaintStepField(QImage &image, std::int32_t step) {
    const QRect field(StepFieldLeft, StepFieldTop, StepFieldWidth, StepFieldHeight);
    if (!image.rect().contains(field)) return;
    for (int y = field.top(); y <= field.bottom(); ++y) {
        for (int x = field.left(); x <= field.right(); ++x) {
            const bool edge = y == field.top() || y == field.bottom() || x == field.left() || x == field.right();
            image.setPixel(x, y, ToQRgb(edge ? StepFieldFrame : StepFieldFace));
        }
    }
    char text[16];
    const char *end = std::to_chars(text, text + sizeof text, step).ptr;
    const int top = field.top() + (StepFieldHeight - GlyphHeight) / 2;
    int left = field.left() + TextIndent;
    for (const char *c = text; c != end; ++c, left += GlyphPitch) {
        const auto &glyph = Glyphs[*c == '-' ? 10 : *c - '0'];
        for (int row = 0; row < GlyphHeight; ++row)
            for (int col = 0; col < GlyphWidth; ++col)
                if (glyph[row] & (0x10 >> col)) image.setPixel(left + col, top + row, ToQRgb(StepFieldText));
    }
}

QImage MapPictureOf(const TPlot &plot, std::int32_t step) {
    QImage image = RenderDensityMap(plot);
    if (image.isNull()) throw std::bad_alloc();  // Qt's way of saying memory ran out
    PaintStepField(image, step);
    return image;
}

std::vector<Rgb> MapPalette() {
    std::vector<Rgb> palette = {SnapshotBackground, StepFieldFace, StepFieldFrame, StepFieldText};
    // A count of each density class, and a negative one.
    for (const std::int32_t n : {-1, 0, 1, 6, 11, 16, 21, 101, 501, 1001}) {
        const Rgb c = DensityColour(n);
        bool known = false;
        for (const Rgb &p : palette) known = known || p == c;
        if (!known) palette.push_back(c);
    }
    return palette;
}

}  // namespace glebix::batch
