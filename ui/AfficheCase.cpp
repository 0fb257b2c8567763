#include "AfficheCase.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHideEvent>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <charconv>

#include "AtomicFile.h"
#include "Conversions.h"
#include "ExportDialog.h"
#include "MessagePump.h"
#include "Outputs.h"
#include "Simul.h"

namespace glebix {

namespace {
// Scaled values beyond this lie off any picture a window system can make.
constexpr std::int64_t MarkerValueBound = std::int64_t{1} << 40;

void AppendInteger(std::string &out, std::int64_t v) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

}  // namespace

std::string ChartSeriesCsv(const std::vector<ChartSample> &series) {
    std::string out = "step,cell_density,cell_compacted,cell_decompacted,mean_density,mean_compacted\n";
    for (const ChartSample &s : series) {
        AppendInteger(out, s.Step);
        out += ',';
        AppendInteger(out, s.Count);
        for (double v : {s.CellCompacted, s.CellDecompacted, s.MeanCount, s.MeanCompacted}) {
            out += ',';
            out += FormatShortest(v);
        }
        out += '\n';
    }
    return out;
}

TForm3::TForm3(Simul &simul, QWidget *parent) : OuterSizedWindow(parent), simul_(simul) {
    setWindowTitle(QStringLiteral("Une case"));
    setBackgroundRole(QPalette::Button);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture covers the whole client area
    SetOuterGeometry(QRect(538, 226, 485, 513));
    picture_ = QImage(size(), QImage::Format_RGB32);
    ClearPicture();
    AffAxes();

    ChartMenu = new QMenu(this);
    SaveImageAction = ChartMenu->addAction(QStringLiteral("Enregistrer l'image…"), this, &TForm3::SaveImageAs);
    ExportSeriesAction =
        ChartMenu->addAction(QStringLiteral("Exporter les séries (CSV)…"), this, &TForm3::ExportSeriesAs);
}

void TForm3::AffAxes() {
    const QRgb black = qRgb(0, 0, 0);
    const std::int64_t w = OuterWidth();
    const std::int64_t h = OuterHeight();
    // Lines leave out their end point: (30, H - 150) to (W - 30, H - 150), and
    // (30, 30) to (30, H - 30).
    const std::int64_t axisY = h - ChartBaseMargin;
    const std::int64_t axisEnd = w - ChartLeft;
    const std::int64_t dx = axisEnd >= ChartLeft ? 1 : -1;
    for (std::int64_t x = ChartLeft; x != axisEnd; x += dx) PutPixel(x, axisY, black);
    const std::int64_t valueEnd = h - 30;
    const std::int64_t dy = valueEnd >= 30 ? 1 : -1;
    for (std::int64_t y = 30; y != valueEnd; y += dy) PutPixel(ChartLeft, y, black);
    update();
}

void TForm3::PlotCellStep(std::int32_t step) {
    const Simul &sim = simul_;
    // Bounded into the grid at set-up; bounded here too for a chart drawn before any.
    const std::int32_t x = std::clamp(sim.ChartCellX, 1, GridSide);
    const std::int32_t y = std::clamp(sim.ChartCellY, 1, GridSide);
    const TCellEnv &env = sim.Plot.Env[x - 1][y - 1];
    const std::int32_t count = sim.Plot.Density[x - 1][y - 1];
    DrawChartMarkers(step, count, env.Compacted, env.Decompacted, MeanDensity(sim.Plot), MeanCompacted(sim.Plot));
}

void TForm3::DrawChartMarkers(std::int32_t step, std::int32_t count, double cellCompacted, double cellDecompacted,
                              double meanCount, double meanCompacted) {
    PumpWindowEvents();
    series_.push_back({step, count, cellCompacted, cellDecompacted, meanCount, meanCompacted});
    const std::int64_t base = std::int64_t{OuterHeight()} - ChartBaseMargin;
    const ChartValues values = ScaleChartValues(count, cellCompacted, cellDecompacted, meanCount, meanCompacted);
    const std::int64_t left = ChartLeft + 2 * ChartStepPosition(step);
    for (int series = 0; series < ChartSeriesCount; ++series) {
        const Rgb c = ChartColours[series];
        const QRgb colour = qRgb(c.r, c.g, c.b);
        // A value far beyond any picture is held at a bound that is still off the
        // picture, so that 2 v cannot overflow; pixels outside are left out.
        const std::int64_t v = std::clamp(values.v[series], -MarkerValueBound, MarkerValueBound);
        const std::int64_t top = base - 2 * v;
        for (std::int64_t y = top; y < top + 2; ++y)
            for (std::int64_t x = left; x < left + 2; ++x) PutPixel(x, y, colour);
        if (top > -2 && top < picture_.height() && left > -2 && left < picture_.width())
            update(static_cast<int>(left), static_cast<int>(top), 2, 2);
    }
}

void TForm3::SaveImageAs() {
    // What the window shows now, whatever the run draws while the dialog is open.
    AskExportFile(this, QStringLiteral("Enregistrer l'image"), QStringLiteral("case.png"), QStringLiteral("png"),
                  [picture = picture_.copy()](const std::string &path) { WritePng(path, picture); });
}

void TForm3::ExportSeriesAs() {
    AskExportFile(this, QStringLiteral("Exporter les séries"), QStringLiteral("case.csv"), QStringLiteral("csv"),
                  [csv = ChartSeriesCsv(series_)](const std::string &path) { WriteFileAtomically(path, csv); });
}

void TForm3::contextMenuEvent(QContextMenuEvent *event) {
    // popup(), not exec(): a run goes on while the menu is open.
    ChartMenu->popup(event->globalPos());
    event->accept();
}

void TForm3::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), picture_, event->rect());
}

void TForm3::resizeEvent(QResizeEvent *event) {
    if (event->size() == picture_.size()) return;
    // A resize clears the chart; the axes come back at the next show or activation.
    picture_ = QImage(event->size(), QImage::Format_RGB32);
    ClearPicture();
}

void TForm3::showEvent(QShowEvent *event) {
    OuterSizedWindow::showEvent(event);
    AffAxes();
}

void TForm3::hideEvent(QHideEvent *event) {
    OuterSizedWindow::hideEvent(event);
    // Hiding by the program clears the chart (that is how a run starts afresh);
    // minimising, which the window system reports as a spontaneous hide, keeps it.
    if (!event->spontaneous()) {
        ClearPicture();
        series_.clear();
    }
}

void TForm3::changeEvent(QEvent *event) {
    OuterSizedWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) AffAxes();
}

void TForm3::ClearPicture() {
    picture_.fill(palette().color(QPalette::Button));
    update();
}

void TForm3::PutPixel(std::int64_t x, std::int64_t y, QRgb colour) {
    if (x < 0 || y < 0 || x >= picture_.width() || y >= picture_.height()) return;
    reinterpret_cast<QRgb *>(picture_.scanLine(static_cast<int>(y)))[x] = colour;
}

}  // namespace glebix
