#include "IniEnvt.h"

#include <QLineEdit>
#include <QRadioButton>

#include "DialogControls.h"
#include "FileChooser.h"
#include "WindowPlacement.h"

namespace glebix {

TForm8::TForm8(Simul &simul, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form8"));
    SetUpWindow(this, QStringLiteral("Intitilisation du milieu physique"), 245, 223, 670, 391);
    InitialSettings &initial = simul.Settings.Initial;

    RadioButton1 = MakeRadioButton(this, "RadioButton1", QStringLiteral("Charger l'environement initial :"), 16, 32);
    RadioButton3 =
        MakeRadioButton(this, "RadioButton3", QStringLiteral("Environnement aléatoire sans structure"), 16, 64);
    MakeLabel(this, "Label4", QStringLiteral("Moyenne"), 24, 104);
    BindRealField(Edit2 = MakeEdit(this, "Edit2", 104, 104, 65), initial.EnvMean);
    MakeLabel(this, "Label5", QStringLiteral("Variabilité"), 176, 104);
    BindRealField(Edit3 = MakeEdit(this, "Edit3", 248, 104, 65), initial.EnvVariability);
    RadioButton2 = MakeRadioButton(this, "RadioButton2", QStringLiteral("Environement homogène"), 16, 128);
    MakeLabel(this, "Label3", QStringLiteral("Constante 1"), 24, 160);
    BindRealField(Edit1 = MakeEdit(this, "Edit1", 112, 160, 49), initial.EnvConstant);
    MakeLabel(this, "Label6", QStringLiteral("Constante 2"), 168, 160);
    Edit5 = MakeEdit(this, "Edit5", 256, 160, 57);
    Edit5->setText(QStringLiteral("40"));  // nothing reads it

    // The selected button shows the mode; setting it runs no handler.
    RadioButton1->setChecked(initial.EnvInitMode == EnvModeFile);
    RadioButton3->setChecked(initial.EnvInitMode == EnvModeRandom);
    RadioButton2->setChecked(initial.EnvInitMode == EnvModeHomogeneous);
    BindRadioButton(RadioButton1, initial.EnvInitMode, EnvModeFile);
    BindRadioButton(RadioButton3, initial.EnvInitMode, EnvModeRandom);
    BindRadioButton(RadioButton2, initial.EnvInitMode, EnvModeHomogeneous);

    const InitialFilePanel panel = MakeInitialFilePanel(this, initial.EnvFilePath);
    Chooser = panel.Chooser;
    Edit4 = panel.Edit4;
    connect(Chooser, &FileChooser::FileDblClick, this, &TForm8::FileChoice);
    MakeOkButton(this, 256, 296);
}

void TForm8::FileChoice() { Edit4->setText(Chooser->SelectedFilePath()); }

}  // namespace glebix
