#include "Affichage.h"

#include <QLineEdit>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <charconv>

#include "DensityMapImage.h"
#include "Outputs.h"
#include "Simul.h"

namespace glebix {

TForm2::TForm2(Simul &simul, QWidget *parent) : OuterSizedWindow(parent), Edit1(new QLineEdit(this)), simul_(simul) {
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
    const TPlot &plot = simul_.Plot;
    for (std::int32_t j = 1; j <= GridSide; ++j) {
        for (std::int32_t i = 1; i <= GridSide; ++i) {
            if (simul_.ProcessMessages) simul_.ProcessMessages();
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
    if (simul_.ProcessMessages) simul_.ProcessMessages();
    PaintDensityCell(picture_, i, j, n, bottom);
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
