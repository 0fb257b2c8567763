// The program's windows, created in their fixed order on one engine and tied to each
// other: the launcher (the main window), the plot window, the chart window, then the
// main menu window and the seven dialogs.
#pragma once

#include "AfficheCase.h"
#include "Affichage.h"
#include "Glebix1.h"
#include "Menu.h"

namespace glebix {

// The only owner of every window: each is a member, deleted once, in the reverse of
// its creation order, when this object goes away (after the event loop has ended).
class ProgramWindows {
public:
    explicit ProgramWindows(Simul &simul);

    TForm1 Launcher;
    TForm2 PlotWindow;
    TForm3 ChartWindow;
    MenuAndDialogs Menu;  // created after the three windows above
};

}  // namespace glebix
