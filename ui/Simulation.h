// The simulation parameters dialog: the number of time steps of a run.
#pragma once

#include <QWidget>

#include "Simul.h"

class QLineEdit;

namespace glebix {

class TForm12 : public QWidget {
    Q_OBJECT
public:
    explicit TForm12(Simul &simul, QWidget *parent = nullptr);

    QLineEdit *Edit1;  // "Nombre de pas de temps", whole number, read when a run starts
};

}  // namespace glebix
