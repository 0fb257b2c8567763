#include "ProgramWindows.h"

#include "Sauvegarde.h"
#include "sorties.h"

namespace glebix {

ProgramWindows::ProgramWindows(Simul &simul)
    : Launcher(simul), PlotWindow(simul), ChartWindow(simul), Menu(CreateMenuAndDialogs(simul)) {
    Launcher.SetOutputWindows(&PlotWindow, &ChartWindow);
    // A square clicked on the map is the chart cell that "Sorties" shows.
    QObject::connect(&PlotWindow, &TForm2::ChartCellChosen, Menu.Dialogs.Form6, &TForm6::SetChartCell);
    QObject::connect(&Launcher, &TForm1::ResultFileWritten, Menu.Dialogs.Form7, &TForm7::ResultFileWritten);
}

ProgramWindows::~ProgramWindows() { DeleteMenuAndDialogs(Menu); }

}  // namespace glebix
