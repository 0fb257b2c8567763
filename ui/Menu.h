// The main menu window TForm4 and the parameter dialogs TForm5 to TForm12.
#pragma once

#include <QMainWindow>

#include "Simul.h"

class QAction;
class QMenu;

namespace glebix {

class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TForm12;

// The seven parameter dialogs the menu opens.
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

// The menu window and the dialogs of one program.
struct MenuAndDialogs {
    TForm4 *Form4 = nullptr;
    ParameterDialogs Dialogs;
};

// Creates the main menu window (shown) and the seven dialogs (hidden), in their
// order, on `simul`. The windows live until the application quits.
MenuAndDialogs CreateMenuAndDialogs(Simul &simul);

// Deletes the windows CreateMenuAndDialogs made (those not deleted already).
void DeleteMenuAndDialogs(MenuAndDialogs &windows);

// The same on the program-wide model. The program entry calls it after the
// launcher, plot and chart windows.
void CreateMenuAndDialogs();

}  // namespace glebix
