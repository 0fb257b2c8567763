#include "InitDistEsp.h"

#include <QLineEdit>
#include <QRadioButton>
#include <utility>

#include "DialogControls.h"
#include "FileChooser.h"
#include "WindowPlacement.h"

namespace glebix {

TForm9::TForm9(Simul &simul, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form9"));
    SetUpWindow(this, QStringLiteral("Initialisation de la distirbution de la faune"), 446, 259, 666, 394);
    InitialSettings &initial = simul.Settings.Initial;

    RadioButton1 = MakeRadioButton(this, "RadioButton1", QStringLiteral("Charger la distribution initiale:"), 16, 32);
    RadioButton3 = MakeRadioButton(this, "RadioButton3", QStringLiteral("Distirbution aléatoire"), 16, 64);
    MakeLabel(this, "Label4", QStringLiteral("Moyenne"), 24, 104);
    BindWholeField(Edit2 = MakeEdit(this, "Edit2", 88, 104, 65), initial.DistMean);
    MakeLabel(this, "Label5", QStringLiteral("Variabilité"), 176, 104);
    BindRealField(Edit3 = MakeEdit(this, "Edit3", 248, 104, 65), initial.DistVariability);
    RadioButton2 = MakeRadioButton(this, "RadioButton2", QStringLiteral("Distribution homogène"), 16, 128);
    RadioButton4 = MakeRadioButton(this, "RadioButton4", QStringLiteral("Tout dans le tiers gauche"), 16, 168);
    RadioButton5 = MakeRadioButton(this, "RadioButton5", QStringLiteral("Tout au centre"), 16, 208);
    MakeLabel(this, "Label3", QStringLiteral("Constante"), 16, 256);
    BindWholeField(Edit1 = MakeEdit(this, "Edit1", 88, 256, 65), initial.DistConstant);

    // The selected button shows the mode; setting it runs no handler.
    const std::pair<QRadioButton *, std::int32_t> buttons[] = {{RadioButton1, DistModeFile},
                                                               {RadioButton3, DistModeRandom},
                                                               {RadioButton2, DistModeHomogeneous},
                                                               {RadioButton4, DistModeLeftThird},
                                                               {RadioButton5, DistModeCentre}};
    for (const auto &[button, mode] : buttons) button->setChecked(initial.DistInitMode == mode);
    for (const auto &[button, mode] : buttons) BindRadioButton(button, initial.DistInitMode, mode);

    const InitialFilePanel panel = MakeInitialFilePanel(this, initial.DistFilePath);
    Chooser = panel.Chooser;
    Edit4 = panel.Edit4;
    connect(Chooser, &FileChooser::FileDblClick, this, &TForm9::FileChoice);
    MakeOkButton(this, 256, 296);
}

void TForm9::FileChoice() { Edit4->setText(Chooser->SelectedFilePath()); }

}  // namespace glebix
