// Runs the program's windows on a short seeded run, then shows a cell's tooltip on
// the map, the chart's context menu and the outputs dialog, and saves the whole
// screen. Run it on a virtual screen of 1024 x 768:
//   xvfb-run -s "-screen 0 1024x768x24" build/tests/manual/windows_screenshot docs/inspect.png
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QToolTip>

#include "MessagePump.h"
#include "ProgramWindows.h"
#include "WindowPlacement.h"
#include "sorties.h"

using namespace glebix;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glebix"));
    if (argc != 2) return 2;
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();

    Simul &sim = TheSimul();
    sim.Settings.Run.StepCount = "120";
    sim.ProcessMessages = PumpWindowEventsThrottled;
    int status = 1;
    {
        ProgramWindows windows(sim);
        windows.Launcher.Seed = 20240611u;
        windows.Launcher.show();
        ShowInFront(windows.Menu.Dialogs.Form6);
        PumpWindowEvents();
        windows.Launcher.Button2Click();

        // The tooltip of the square at row 27, column 24, and the chart's menu.
        const QPoint cell(30 + 7 * 26 + 3, windows.PlotWindow.OuterHeight() - 60 - 7 * 24 + 3);
        windows.PlotWindow.ChooseChartCell(27, 24);
        windows.ChartWindow.ChartMenu->popup(windows.ChartWindow.mapToGlobal(QPoint(250, 250)));
        QToolTip::showText(windows.PlotWindow.mapToGlobal(cell), windows.PlotWindow.CellToolTip(cell),
                           &windows.PlotWindow);
        for (int k = 0; k < 20; ++k) {
            PumpWindowEvents();
            QThread::msleep(50);
        }
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        status = screen.save(output, "PNG") ? 0 : 1;
    }
    sim.ProcessMessages = nullptr;
    return status;
}
