// The main menu window TForm4 and the parameter dialogs TForm5 to TForm12.
#pragma once

#include <QMainWindow>

#include "DynEnvt.h"
#include "Espece.h"
#include "IniEnvt.h"
#include "InitDistEsp.h"
#include "Sauvegarde.h"
#include "Simul.h"
#include "Simulation.h"
#include "sorties.h"

class QAction;
class QMenu;

namespace glebix {

// The seven parameter dialogs the menu opens (it does not own them).
struct ParameterDialogs {
    TForm5 *Form5 = nullptr;    // "Espèce"
    TForm6 *Form6 = nullptr;    // "Sorties"
    TForm7 *Form7 = nullptr;    // "Sauvegarde"
    TForm8 *Form8 = nullptr;    // initial environment
    TForm9 *Form9 = nullptr;    // initial distribution
    TForm10 *Form10 = nullptr;  // environment dynamics
    TForm12 *Form12 = nullptr;  // simulation parameters
};

// The main menu window "Glebix": its menu only opens the dialogs.
class TForm4 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    // The dialogs the items show; created after this window.
    void SetDialogs(const ParameterDialogs &dialogs) { dialogs_ = dialogs; }

    QMenu *Espce1;                 // "Espèce"
    QAction *Paramtres1;           // "Paramètres de base"
    QAction *Rpartitioninitiale1;  // "Répartition initiale"
    QMenu *Environement1;          // "Milieu physique"
    QAction *Htrognitinitiale1;    // "Hétérogénéité initiale"
    QAction *Dynamique1;           // "Dynamique "
    QMenu *Sauvegarde1;            // "Sorties"
    QAction *Affichage1;           // "Affichage"
    QAction *Sauvegarde2;          // "Sauvegarde"
    QAction *Simulations1;         // "Simulations", acts by itself

private:
    ParameterDialogs dialogs_;
};

// The main menu window (shown) and the seven dialogs (hidden) of one program, created
// in their order on one model. They are members: each is deleted once, the dialogs
// before the menu window, when this object goes away.
class MenuAndDialogs {
public:
    explicit MenuAndDialogs(Simul &simul);

    ParameterDialogs Dialogs();

    TForm4 Form4;
    TForm5 Form5;
    TForm6 Form6;
    TForm7 Form7;
    TForm8 Form8;
    TForm9 Form9;
    TForm10 Form10;
    TForm12 Form12;
};

}  // namespace glebix
