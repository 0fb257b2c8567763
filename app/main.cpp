// Program entry: Qt's own French texts are installed, the settings start at their
// defaults (the engine object that this function owns and hands to the windows holds
// them), the windows are created in their fixed order, the launcher is shown and the event loop runs until " Quitter"
// or the launcher's closing ends it.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "MessagePump.h"
#include "ProgramWindows.h"
#include "QtFrench.h"
#include "Simul.h"

namespace {

// True when the toolkit can find a screen: a platform was chosen, or an X or Wayland
// display is named. Without one Qt would end with a hint that does not help here.
bool DisplayAvailable() {
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (!DisplayAvailable()) {
        std::fputs(
            "glebix : aucun écran disponible (DISPLAY n'est pas défini) ; pour calculer sans fenêtres, "
            "utilisez glebix-batch, ou lancez le programme sous Xvfb (xvfb-run glebix).\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glebix"));
    glebix::InstallQtFrench(app);

    const auto engine = std::make_unique<glebix::Simul>();
    glebix::Simul &sim = *engine;
    sim.FixedPlotSize = true;
    sim.Settings = glebix::DefaultSettings();
    // The processes yield once per cell; events are handled there every few ms.
    sim.ProcessMessages = glebix::PumpWindowEventsThrottled;

    int status = 0;
    {
        glebix::ProgramWindows windows(sim);
        windows.Launcher.show();
        status = app.exec();
    }
    sim.ProcessMessages = nullptr;
    return status;
}
