#include "SlideMap.h"

#include <QImage>
#include <algorithm>
#include <new>

#include "DensityMapImage.h"
#include "PixelFont.h"

namespace glebix::render {

namespace {

constexpr Rgb Ground = {255, 255, 255};
constexpr Rgb Ink = {0, 0, 0};              // the text, the map's frame, the swatches' rings
constexpr int DensityClassCount = 9;        // DensityClass 0 to 8
constexpr std::int32_t NegativeCount = -1;  // fuchsia, the colour of a count below zero
constexpr int CellsPerFontPixel = 4;        // the text grows with the cells
constexpr int MaxFontScale = 4;
constexpr int MarginGlyphs = 1;  // margins of one glyph's pitch
constexpr int SwatchGap = 3;     // font pixels between a swatch and its label
constexpr int RowGap = 3;        // font pixels between two legend rows

// The first count of each class, from class 0 up.
constexpr std::int32_t ClassFirstCounts[DensityClassCount] = {0, 1, 6, 11, 16, 21, 101, 501, 1001};

// A rectangle, within the image, in one colour.
void Fill(QImage &image, int left, int top, int width, int height, QRgb colour) {
    for (int y = top; y < top + height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(line + left, line + left + width, colour);
    }
}

// A square of `side` pixels at (left, top) in `fill` with a ring of ink.
void PaintSwatch(QImage &image, int left, int top, int side, QRgb fill) {
    Fill(image, left, top, side, side, ToQRgb(Ink));
    Fill(image, left + 1, top + 1, side - 2, side - 2, fill);
}

void PaintLegend(QImage &image, const SlideLayout &l) {
    const QRgb ink = ToQRgb(Ink);
    PaintText(image, l.LegendLeft, l.LegendTop, LegendTitle(), ink, l.Scale);
    const std::vector<std::string> labels = DensityClassLabels();
    const int textShift = (l.SwatchSide - GlyphHeight * l.Scale) / 2;
    for (int c = 0; c < DensityClassCount; ++c) {
        const int top = l.LegendTop + (c + 1) * l.RowPitch;
        PaintSwatch(image, l.LegendLeft, top, l.SwatchSide, ToQRgb(DensityColour(ClassFirstCounts[c])));
        PaintText(image, l.LegendLeft + l.SwatchSide + SwatchGap * l.Scale, top + textShift, labels[c], ink, l.Scale);
    }
}

}  // namespace

std::string StepLabel(std::int32_t step) { return "pas " + std::to_string(step); }

const char *LegendTitle() { return "individus par case"; }

std::vector<std::string> DensityClassLabels() {
    std::vector<std::string> labels;
    for (int c = 0; c + 1 < DensityClassCount; ++c) {
        const std::int32_t first = ClassFirstCounts[c], last = ClassFirstCounts[c + 1] - 1;
        labels.push_back(first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last));
    }
    labels.push_back("> " + std::to_string(ClassFirstCounts[DensityClassCount - 1] - 1));
    return labels;
}

SlideLayout SlideLayoutFor(int cellSize, int width, int height) {
    SlideLayout l{};
    l.Scale = std::clamp(cellSize / CellsPerFontPixel, 1, MaxFontScale);
    l.Margin = MarginGlyphs * GlyphPitch * l.Scale;
    l.MapLeft = l.Margin + 1;  // inside the frame
    l.MapTop = l.Margin + GlyphHeight * l.Scale + l.Margin + 1;
    l.MapWidth = width * cellSize;
    l.MapHeight = height * cellSize;
    l.LegendLeft = l.MapLeft + l.MapWidth + 1 + l.Margin;
    l.LegendTop = l.MapTop;
    l.SwatchSide = (GlyphHeight + 2) * l.Scale;
    l.RowPitch = l.SwatchSide + RowGap * l.Scale;
    int legendWidth = TextWidth(LegendTitle(), l.Scale);
    for (const std::string &label : DensityClassLabels())
        legendWidth = std::max(legendWidth, l.SwatchSide + SwatchGap * l.Scale + TextWidth(label, l.Scale));
    l.Width = l.LegendLeft + legendWidth + l.Margin;
    const int legendBottom = l.LegendTop + DensityClassCount * l.RowPitch + l.SwatchSide;
    l.Height = std::max(l.MapTop + l.MapHeight + 1, legendBottom) + l.Margin;
    return l;
}

QImage SlideMapOf(const TPlot &plot, std::int32_t step, int cellSize) {
    const SlideLayout l = SlideLayoutFor(cellSize, plot.Width, plot.Height);
    QImage image(l.Width, l.Height, QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();  // Qt's way of saying memory ran out
    image.fill(ToQRgb(Ground));
    PaintText(image, l.Margin, l.Margin, StepLabel(step), ToQRgb(Ink), l.Scale);
    Fill(image, l.MapLeft - 1, l.MapTop - 1, l.MapWidth + 2, l.MapHeight + 2, ToQRgb(Ink));
    // Column i from the left, row j from the bottom, as the plot window lays them.
    PaintSolidCells(image, plot, l.MapLeft, l.MapTop + l.MapHeight, cellSize);
    PaintLegend(image, l);
    return image;
}

std::vector<Rgb> SlidePalette() {
    std::vector<Rgb> palette = {Ground, Ink};
    std::vector<std::int32_t> counts(std::begin(ClassFirstCounts), std::end(ClassFirstCounts));
    counts.push_back(NegativeCount);
    for (const std::int32_t n : counts)
        if (std::find(palette.begin(), palette.end(), DensityColour(n)) == palette.end())
            palette.push_back(DensityColour(n));
    return palette;
}

}  // namespace glebix::render
