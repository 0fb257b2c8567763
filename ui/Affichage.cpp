#include "Affichage.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>
#include <algorithm>
#include <charconv>
#include <memory>

#include "AtomicFile.h"
#include "DensityMapImage.h"
#include "ExportDialog.h"
#include "FrenchNumber.h"
#include "Outputs.h"
#include "RunOutputs.h"

namespace glebix {

TForm2::TForm2(Simul &simul, QWidget *parent)
    : OuterSizedWindow(parent), Edit1(new QLineEdit(this)), MapMenu(new QMenu(this)), simul_(simul) {
    setWindowTitle(QStringLiteral("La parcelle"));
    setBackgroundRole(QPalette::Button);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture covers the whole client area
    SetOuterGeometry(QRect(2, 224, 534, 514));
    Edit1->setGeometry(32, 32, 249, 21);
    picture_ = QImage(size(), QImage::Format_RGB32);
    picture_.fill(palette().color(QPalette::Button));
    pictureOuterHeight_ = OuterHeight();
    setMouseTracking(true);  // hovering, not only dragging, brings the cell tooltips

    SaveImageAction = MapMenu->addAction(QStringLiteral("Enregistrer l'image…"), this, &TForm2::SaveImageAs);
    ExportGridsAction = MapMenu->addAction(QStringLiteral("Exporter les grilles…"), this, &TForm2::ExportGridsAs);
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
    const std::int64_t bottom = MapBottom();
    if (simul_.ProcessMessages) simul_.ProcessMessages();
    render::PaintDensityCell(picture_, i, j, n, bottom);
}

QString TForm2::CellToolTip(QPoint pos) const {
    const std::optional<render::MapCell> cell = render::MapCellAt(pos.x(), pos.y(), MapBottom());
    if (!cell) return QString();
    const TCellEnv &env = simul_.Plot.Env[cell->I - 1][cell->J - 1];
    std::string text = "Ligne " + std::to_string(cell->I) + ", colonne " + std::to_string(cell->J) + " : " +
                       std::to_string(simul_.Plot.Density[cell->I - 1][cell->J - 1]) + " individus ; tassé " +
                       FrenchOneDecimal(env.Compacted) + " % ; décompacté " + FrenchOneDecimal(env.Decompacted) + " %";
    const RunSettings &run = simul_.Settings.Run;
    if (ChartCellFromField(run.ChartCellX) == cell->I && ChartCellFromField(run.ChartCellY) == cell->J)
        text += " (case du graphique au prochain lancement)";
    return QString::fromStdString(text);
}

void TForm2::ChooseChartCell(std::int32_t i, std::int32_t j) {
    simul_.Settings.Run.ChartCellX = std::to_string(i);
    simul_.Settings.Run.ChartCellY = std::to_string(j);
    emit ChartCellChosen(i, j);
}

void TForm2::SaveImageAs() {
    // What the window shows now, whatever the run draws while the dialog is open.
    AskExportFile(this, QStringLiteral("Enregistrer l'image"), QStringLiteral("parcelle.png"), QStringLiteral("png"),
                  [picture = picture_.copy()](const std::string &path) { WritePng(path, picture); });
}

void TForm2::ExportGridsAs() {
    // The plot as it is now; the grids are those the batch tool writes.
    auto plot = std::make_shared<const TPlot>(simul_.Plot);
    AskExportDirectory(this, QStringLiteral("Exporter les grilles"), [plot](const std::string &directory) {
        WriteFileAtomically(directory + '/' + core::DensityGridName, core::DensityAsc(*plot));
        WriteFileAtomically(directory + '/' + core::CompactedGridName, core::CompactedAsc(*plot));
    });
}

bool TForm2::event(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const std::optional<render::MapCell> cell = render::MapCellAt(help->pos().x(), help->pos().y(), MapBottom());
        if (!cell) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        // The tip stays while the mouse rests on the square, and goes when it leaves.
        const QRect square(MapLeft + MapCellPixels * (cell->I - 1),
                           static_cast<int>(MapBottom()) - MapCellPixels * cell->J, MapCellPixels, MapCellPixels);
        QToolTip::showText(help->globalPos(), CellToolTip(help->pos()), this, square);
        return true;
    }
    return OuterSizedWindow::event(event);
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

void TForm2::mousePressEvent(QMouseEvent *event) {
    const std::optional<render::MapCell> cell =
        render::MapCellAt(event->position().toPoint().x(), event->position().toPoint().y(), MapBottom());
    if (event->button() == Qt::LeftButton && cell) {
        ChooseChartCell(cell->I, cell->J);
        event->accept();
        return;
    }
    OuterSizedWindow::mousePressEvent(event);
}

void TForm2::contextMenuEvent(QContextMenuEvent *event) {
    // popup(), not exec(): a run goes on while the menu is open.
    MapMenu->popup(event->globalPos());
    event->accept();
}

}  // namespace glebix
