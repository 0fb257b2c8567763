#include "Menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "WindowPlacement.h"

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

MenuAndDialogs::MenuAndDialogs(Simul &simul)
    : Form5(simul), Form6(simul), Form7(simul), Form8(simul), Form9(simul), Form10(simul), Form12(simul) {
    Form4.show();
    Form4.SetDialogs(Dialogs());
}

ParameterDialogs MenuAndDialogs::Dialogs() { return {&Form5, &Form6, &Form7, &Form8, &Form9, &Form10, &Form12}; }

}  // namespace glebix
