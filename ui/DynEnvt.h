// The environment dynamics dialog: whether the fauna reshapes the soil, and the
// largest relaxation D per cell and step.
#pragma once

#include <QWidget>

#include "Simul.h"

class QLineEdit;
class QRadioButton;

namespace glebix {

class TForm10 : public QWidget {
    Q_OBJECT
public:
    explicit TForm10(Simul &simul, QWidget *parent = nullptr);

    QRadioButton *RadioButton1;  // "Milieu physique constant"
    QRadioButton *RadioButton2;  // "Milieu physique modifié"
    QLineEdit *Edit1;            // "Valeur maximale", shown only
    QLineEdit *Edit2;            // "Valeur minimale", shown only
    QLineEdit *Edit4;            // "Decompaction D", read at every step
};

}  // namespace glebix
