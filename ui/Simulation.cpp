#include "Simulation.h"

#include <QLineEdit>

#include "DialogControls.h"
#include "WindowPlacement.h"

namespace glebix {

TForm12::TForm12(Simul &simul, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form12"));
    SetUpWindow(this, QStringLiteral("Paramètres de la simulation"), 274, 225, 547, 260);

    MakeLabel(this, "Label1", QStringLiteral("Nombre de pas de temps"), 16, 32);
    BindWholeField(Edit1 = MakeEdit(this, "Edit1", 208, 32, 73), simul.Settings.Run.StepCount);
    MakeOkButton(this, 240, 176);
}

}  // namespace glebix
