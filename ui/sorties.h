// The outputs dialog "Sorties": density map and cell chart switches, the chart cell.
#pragma once

#include <QWidget>

#include "Simul.h"

class QCheckBox;
class QLineEdit;

namespace glebix {

class TForm6 : public QWidget {
    Q_OBJECT
public:
    explicit TForm6(Simul &simul, QWidget *parent = nullptr);

    // Puts row x and column y into the chart cell fields, as typing them would.
    void SetChartCell(int x, int y);

    QCheckBox *CheckBox1;  // "Carte des densités"
    QCheckBox *CheckBox2;  // "Densité d'une case en fonction du temps"
    QLineEdit *Edit1;      // chart cell "X", whole number
    QLineEdit *Edit2;      // chart cell "Y", whole number
};

}  // namespace glebix
