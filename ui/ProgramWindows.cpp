#include "ProgramWindows.h"

namespace glebix {

ProgramWindows::ProgramWindows(Simul &simul) : Launcher(simul), PlotWindow(simul), ChartWindow(simul), Menu(simul) {
    Launcher.SetOutputWindows(&PlotWindow, &ChartWindow);
    // A square clicked on the map is the chart cell that "Sorties" shows.
    QObject::connect(&PlotWindow, &TForm2::ChartCellChosen, &Menu.Form6, &TForm6::SetChartCell);
    QObject::connect(&Launcher, &TForm1::ResultFileWritten, &Menu.Form7, &TForm7::ResultFileWritten);
}

}  // namespace glebix
