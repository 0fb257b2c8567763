#include "Menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "DynEnvt.h"
#include "Espece.h"
#include "IniEnvt.h"
#include "InitDistEsp.h"
#include "Sauvegarde.h"
#include "Simulation.h"
#include "WindowPlacement.h"
#include "sorties.h"

namespace glebix {
namespace {

QMenu *AddEntry(QMenuBar *bar, const char *name, const QString &caption) {
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction *AddItem(QMenu *menu, const char *name, const QString &caption) {
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

TForm4::TForm4(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form4"));
    SetUpWindow(this, QStringLiteral("Glebix"), -1, 111, 782, 115);

    QMenuBar *MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Espce1 = AddEntry(MainMenu1, "Espce1", QStringLiteral("Espèce"));
    Paramtres1 = AddItem(Espce1, "Paramtres1", QStringLiteral("Paramètres de base"));
    Rpartitioninitiale1 = AddItem(Espce1, "Rpartitioninitiale1", QStringLiteral("Répartition initiale"));
    Environement1 = AddEntry(MainMenu1, "Environement1", QStringLiteral("Milieu physique"));
    Htrognitinitiale1 = AddItem(Environement1, "Htrognitinitiale1", QStringLiteral("Hétérogénéité initiale"));
    Dynamique1 = AddItem(Environement1, "Dynamique1", QStringLiteral("Dynamique "));
    Sauvegarde1 = AddEntry(MainMenu1, "Sauvegarde1", QStringLiteral("Sorties"));
    Affichage1 = AddItem(Sauvegarde1, "Affichage1", QStringLiteral("Affichage"));
    Sauvegarde2 = AddItem(Sauvegarde1, "Sauvegarde2", QStringLiteral("Sauvegarde"));
    Simulations1 = MainMenu1->addAction(QStringLiteral("Simulations"));
    Simulations1->setObjectName(QStringLiteral("Simulations1"));

    // Dialogs are looked up when the item acts: they are created after this window.
    connect(Paramtres1, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form5); });
    connect(Rpartitioninitiale1, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form9); });
    connect(Htrognitinitiale1, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form8); });
    connect(Dynamique1, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form10); });
    connect(Affichage1, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form6); });
    connect(Sauvegarde2, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form7); });
    connect(Simulations1, &QAction::triggered, this, [this] { ShowAndRaise(dialogs_.Form12); });
}

MenuAndDialogs CreateMenuAndDialogs(Simul &simul) {
    MenuAndDialogs windows;
    windows.Form4 = new TForm4;
    windows.Form4->show();
    ParameterDialogs &d = windows.Dialogs;
    d.Form5 = new TForm5(simul);
    d.Form6 = new TForm6(simul);
    d.Form7 = new TForm7(simul);
    d.Form8 = new TForm8(simul);
    d.Form9 = new TForm9(simul);
    d.Form10 = new TForm10(simul);
    d.Form12 = new TForm12(simul);
    windows.Form4->SetDialogs(d);

    // Top-level windows have no owner: free them when the application quits, before
    // it is destroyed (unless someone freed them first).
    if (QCoreApplication *app = QCoreApplication::instance()) {
        const QList<QPointer<QWidget>> owned = {d.Form12, d.Form10, d.Form9, d.Form8,
                                                d.Form7,  d.Form6,  d.Form5, windows.Form4};
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [owned] {
            for (const QPointer<QWidget> &window : owned) delete window.data();
        });
    }
    return windows;
}

void DeleteMenuAndDialogs(MenuAndDialogs &windows) {
    ParameterDialogs &d = windows.Dialogs;
    const QList<QPointer<QWidget>> owned = {d.Form12, d.Form10, d.Form9, d.Form8,
                                            d.Form7,  d.Form6,  d.Form5, windows.Form4};
    for (const QPointer<QWidget> &window : owned) delete window.data();
    windows = MenuAndDialogs{};
}

void CreateMenuAndDialogs() { CreateMenuAndDialogs(TheSimul()); }

}  // namespace glebix
