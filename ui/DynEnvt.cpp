#include "DynEnvt.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "DialogControls.h"
#include "WindowPlacement.h"

namespace glebix {

TForm10::TForm10(Simul &simul, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form10"));
    SetUpWindow(this, QStringLiteral("Dynamique du milieu physique"), 296, 289, 549, 353);
    RunSettings &run = simul.Settings.Run;

    RadioButton1 = MakeRadioButton(this, "RadioButton1", QStringLiteral("Milieu physique constant"), 56, 24);
    MakeLabel(this, "StaticText1", QStringLiteral("stable"), 72, 48);
    RadioButton2 = MakeRadioButton(this, "RadioButton2", QStringLiteral("Milieu physique modifié"), 224, 24);
    MakeLabel(this, "Label1", QStringLiteral("par la faune"), 240, 48);
    // Each button inverts the flag when it becomes the selected one, so the flag
    // follows the selection; setting the initial selection runs no handler.
    RadioButton1->setChecked(!run.EnvDynamic);
    RadioButton2->setChecked(run.EnvDynamic);
    BindInvertingRadioButton(RadioButton1, run.EnvDynamic);
    BindInvertingRadioButton(RadioButton2, run.EnvDynamic);

    Edit1 = MakeEdit(this, "Edit1", 232, 88, 57);
    Edit1->setText(QStringLiteral("100"));  // nothing reads it
    MakeLabel(this, "Label2", QStringLiteral("Valeur maximale"), 296, 88);
    Edit2 = MakeEdit(this, "Edit2", 232, 120, 57);
    Edit2->setText(QStringLiteral("0"));  // nothing reads it
    MakeLabel(this, "Label3", QStringLiteral("Valeur minimale"), 296, 120);
    MakeLabel(this, "Label5", QStringLiteral("Modalités de la décompaction"), 136, 192);
    MakeLabel(this, "Label6", QStringLiteral("Decompaction D"), 96, 216);
    BindRealField(Edit4 = MakeEdit(this, "Edit4", 224, 216, 65), run.DecompactionD);
    MakeOkButton(this, 232, 264);
}

}  // namespace glebix
