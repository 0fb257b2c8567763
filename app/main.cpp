// Program entry: the settings start at their defaults (the program-wide engine object
// holds them), the windows are created in their fixed order, the launcher is shown
// and the event loop runs until " Quitter" or the launcher's closing ends it.
#include <QApplication>

#include "AfficheCase.h"
#include "Affichage.h"
#include "Glebix1.h"
#include "Menu.h"
#include "MessagePump.h"
#include "Simul.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glebix"));

    glebix::Simul &sim = glebix::TheSimul();
    sim.Settings = glebix::DefaultSettings();
    // The processes yield once per cell; events are handled there every few ms.
    sim.ProcessMessages = glebix::PumpWindowEventsThrottled;

    glebix::TForm1 launcher;
    glebix::TForm2 plotWindow;
    glebix::TForm3 chartWindow;
    launcher.SetOutputWindows(&plotWindow, &chartWindow);
    glebix::CreateMenuAndDialogs();

    launcher.show();
    const int status = app.exec();
    sim.ProcessMessages = nullptr;
    return status;
}
