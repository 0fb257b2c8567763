#include "Affichage.h"

#include <QLineEdit>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <charconv>

#include "Outputs.h"
#include "Simul.h"

namespace glebix {

TForm2::TForm2(QWidget *parent) : OuterSizedWindow(parent), Edit1(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("La parcelle"));
    setBackgroundRole(QPalette::Button);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture covers the whole client area
    SetOuterGeometry(QRect(2, 224, 534, 514));
    Edit1->setGeometry(32, 32, 249, 21);
    picture_ = QImage(size(), QImage::Format_RGB32);
    picture_.fill(palette().color(QPalette::Button));
    pictureOuterHeight_ = OuterHeight();
}

void TForm2::ShowStepNumber(std::int32_t step) {
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, step).ptr;
    Edit1->setText(QString::fromLatin1(text, end - text));
}

void TForm2::DrawDensityMap() {
    const TPlot &plot = TheSimul().Plot;
    for (std::int32_t j = 1; j <= GridSide; ++j) {
        for (std::int32_t i = 1; i <= GridSide; ++i) {
            if (TheSimul().ProcessMessages) TheSimul().ProcessMessages();
            DrawDensityCell(i, j, plot.Density[i - 1][j - 1]);
        }
    }
    const int bottom = OuterHeight() - MapBottomMargin;
    const int side = GridSide * MapCellPixels;
    update(MapLeft, bottom - side, side, side);
    RepaintNow();
}

void TForm2::DrawDensityCell(std::int32_t i, std::int32_t j, std::int32_t n) {
    // Row i runs to the right, column j upwards from 60 px above the outer bottom edge.
    const std::int64_t bottom = OuterHeight() - MapBottomMargin;
    const Rgb colour = DensityColour(n);
    if (TheSimul().ProcessMessages) TheSimul().ProcessMessages();

    const std::int64_t left = MapLeft + std::int64_t{MapCellPixels} * (i - 1);
    const std::int64_t top = bottom - std::int64_t{MapCellPixels} * j;
    const QRgb ring = qRgb(0, 0, 0);
    const QRgb fill = qRgb(colour.r, colour.g, colour.b);
    constexpr int side = MapCellPixels;
    if (left >= 0 && top >= 0 && left + side <= picture_.width() && top + side <= picture_.height()) {
        // The whole square lies in the picture: a black ring around a 5 x 5 interior.
        const qsizetype stride = picture_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
        QRgb *row = reinterpret_cast<QRgb *>(picture_.bits()) + top * stride + left;
        std::fill_n(row, side, ring);
        for (int y = 1; y < side - 1; ++y) {
            row += stride;
            row[0] = ring;
            std::fill_n(row + 1, side - 2, fill);
            row[side - 1] = ring;
        }
        std::fill_n(row + stride, side, ring);
        return;
    }
    // Partly or wholly outside (a window too small for the map): clipped pixel by pixel.
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t y1 = std::min<std::int64_t>(top + side, picture_.height());
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t x1 = std::min<std::int64_t>(left + side, picture_.width());
    for (std::int64_t y = y0; y < y1; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(picture_.scanLine(static_cast<int>(y)));
        const bool edgeRow = y == top || y == top + side - 1;
        for (std::int64_t x = x0; x < x1; ++x) {
            const bool edge = edgeRow || x == left || x == left + side - 1;
            line[x] = edge ? ring : fill;
        }
    }
}

void TForm2::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), picture_, event->rect());
}

void TForm2::resizeEvent(QResizeEvent *event) {
    if (event->size() == picture_.size()) return;
    // The map is anchored to the outer bottom edge: keep what was drawn at the same
    // height above it, so the picture stays where the next map will be drawn.
    QImage resized(event->size(), QImage::Format_RGB32);
    resized.fill(palette().color(QPalette::Button));
    QPainter painter(&resized);
    painter.drawImage(QPoint(0, OuterHeight() - pictureOuterHeight_), picture_);
    painter.end();
    picture_ = std::move(resized);
    pictureOuterHeight_ = OuterHeight();
}

}  // namespace glebix
