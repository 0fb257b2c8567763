// Runs the program's windows on a seeded run of the default 300 steps, then shows what
// a user can ask of them (a cell's tooltip on the map, the map's and the chart's
// context menus) and saves the whole screen. Run it on a virtual screen of
// 1024 x 768 (scripts/screenshot.sh does):
//   xvfb-run -s "-screen 0 1024x768x24" build/tests/manual/windows_screenshot docs/screenshot.png
// A context menu closes when another opens, so each is taken from the screen while it
// is open and laid onto the final picture at its place.
#include <QApplication>
#include <memory>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QToolTip>

#include "MessagePump.h"
#include "ProgramWindows.h"

using namespace glebix;

namespace {

// Lets the windows settle and paint.
void Settle() {
    for (int k = 0; k < 10; ++k) {
        PumpWindowEvents();
        QThread::msleep(30);
    }
}

QPixmap Screen() { return QGuiApplication::primaryScreen()->grabWindow(0); }

// The menu opened at `at` (global), as the screen shows it, and where.
QPair<QPixmap, QPoint> MenuShot(QMenu *menu, QPoint at) {
    menu->popup(at);
    Settle();
    const QRect place = menu->geometry();
    const QPixmap shot = Screen().copy(place);
    menu->hide();
    Settle();
    return {shot, place.topLeft()};
}

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glebix"));
    if (argc != 2) return 2;
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();

    const auto engine = std::make_unique<Simul>();
    Simul &sim = *engine;
    sim.FixedPlotSize = true;
    sim.ProcessMessages = PumpWindowEventsThrottled;
    int status = 1;
    {
        ProgramWindows windows(sim);
        windows.Launcher.Seed = 20240611u;
        windows.Launcher.show();
        Settle();
        windows.Launcher.Button2Click();
        Settle();

        TForm2 &plot = windows.PlotWindow;
        TForm3 &chart = windows.ChartWindow;
        const auto mapMenu = MenuShot(plot.MapMenu, plot.mapToGlobal(QPoint(250, 150)));
        const auto chartMenu = MenuShot(chart.ChartMenu, chart.mapToGlobal(QPoint(280, 420)));
        // The square at row 27, column 24, chosen as the next chart cell, hovered.
        const QPoint cell(30 + 7 * 26 + 3, plot.OuterHeight() - MapBottomMargin - 7 * 24 + 3);
        plot.ChooseChartCell(27, 24);
        QToolTip::showText(plot.mapToGlobal(cell), plot.CellToolTip(cell), &plot);
        Settle();
        QPixmap picture = Screen();
        QPainter painter(&picture);
        painter.drawPixmap(mapMenu.second, mapMenu.first);
        painter.drawPixmap(chartMenu.second, chartMenu.first);
        painter.end();
        status = picture.save(output, "PNG") ? 0 : 1;
    }
    sim.ProcessMessages = nullptr;
    return status;
}
