#include "MapPicture.h"

#include <QImage>
#include <algorithm>
#include <charconv>
#include <new>
#include <string_view>

#include "AnimationLook.h"
#include "DensityMapImage.h"
#include "PixelFont.h"
#include "PngFile.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

constexpr int TextIndent = 4;  // from the field's left edge

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
    PaintText(image, field.left() + TextIndent, top, std::string_view(text, end - text), ToQRgb(StepFieldText), 1);
}

WindowPicture WindowPictureFor(int width, int height) {
    WindowPicture p{};
    p.CellSide = FittedCellSide(MapCellPixels, width, height);
    p.Width = std::max(SnapshotWidth, MapLeft + p.CellSide * width + WindowMapRightMargin);
    p.Height = std::max(SnapshotHeight, WindowMapTopMargin + p.CellSide * height + MapBottomMargin);
    p.MapBottom = p.Height - MapBottomMargin;
    return p;
}
// The largest plot's picture, with cells of one pixel, stays within the bound.
static_assert(MapLeft + MaxPlotSide + WindowMapRightMargin <= MaxPictureSide);
static_assert(WindowMapTopMargin + MaxPlotSide + MapBottomMargin <= MaxPictureSide);

QImage RenderDensityMap(const TPlot &plot) {
    const WindowPicture p = WindowPictureFor(plot.Width, plot.Height);
    QImage image(p.Width, p.Height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(qRgb(SnapshotBackground.r, SnapshotBackground.g, SnapshotBackground.b));
    if (p.CellSide < MinRingedCellSide) {
        // Too small for rings: each cell wholly its colour.
        PaintSolidCells(image, plot, MapLeft, p.MapBottom, p.CellSide);
        return image;
    }
    for (int j = 1; j <= plot.Height; ++j)
        for (int i = 1; i <= plot.Width; ++i)
            PaintDensityCell(image, i, j, plot.Density[i - 1][j - 1], p.MapBottom, p.CellSide);
    return image;
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

// ---- Density map -------------------------------------------------------------

std::string DensityMapPng(const TPlot &plot, std::int32_t step) {
    const QImage image = MapPictureOf(plot, step);
    if (image.isNull()) throw std::bad_alloc();
    // Encoded here rather than by QImage::save, whose locks a failed allocation inside
    // Qt could leave taken for good.
    return EncodePng(reinterpret_cast<const std::uint32_t *>(image.constBits()), image.width(), image.height(),
                     image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
}

}  // namespace glebix::render
