#include "sorties.h"

#include <QCheckBox>
#include <QLineEdit>

#include "DialogControls.h"
#include "WindowPlacement.h"

namespace glebix {

TForm6::TForm6(Simul &simul, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form6"));
    SetUpWindow(this, QStringLiteral("Sorties"), 424, 273, 407, 193);
    RunSettings &run = simul.Settings.Run;

    BindCheckBox(CheckBox1 = MakeCheckBox(this, "CheckBox1", QStringLiteral("Carte des densités"), 24, 24),
                 run.ShowDensityMap);
    BindCheckBox(
        CheckBox2 = MakeCheckBox(this, "CheckBox2", QStringLiteral("Densité d'une case en fonction du temps"), 24, 56),
        run.ShowCellChart);
    // The box's caption ends where the "X" label starts.
    FitTextToWidth(CheckBox2, 264 - 24 - 4);
    MakeLabel(this, "Label1", QStringLiteral("X"), 264, 56);
    BindWholeField(Edit1 = MakeEdit(this, "Edit1", 280, 56, 41), run.ChartCellX);
    MakeLabel(this, "Label2", QStringLiteral("Y"), 328, 56);
    BindWholeField(Edit2 = MakeEdit(this, "Edit2", 344, 56, 41), run.ChartCellY);
    MakeOkButton(this, 144, 104);
}

void TForm6::SetChartCell(int x, int y) {
    Edit1->setText(QString::fromStdString(std::to_string(x)));
    Edit2->setText(QString::fromStdString(std::to_string(y)));
}

}  // namespace glebix
